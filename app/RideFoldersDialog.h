#pragma once
#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// "Složky se záznamy jízd": the folders, besides the devices found by
// themselves, in which the program looks for rides never imported. The
// rider adds a folder through a folder dialog and removes the one selected.
class RideFoldersDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RideFoldersDialog(const QStringList &folders, QWidget *parent = nullptr);

    QStringList folders() const;

    QListWidget *folderList = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;

private:
    void addFolder();
    void removeFolder();
};
