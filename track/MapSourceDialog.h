#pragma once
#include "MapTiles.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Mapový podklad": where the map under a ride's track comes from. OK
// refuses an address or a file that cannot give tiles, with the reason in
// the dialog, and the dialog stays open.
class MapSourceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MapSourceDialog(const MapTiles::MapSource &current, QWidget *parent = nullptr);

    // The source as the dialog shows it now.
    MapTiles::MapSource source() const;

    // Shows the dialog over `parent` with the source in store.ini and
    // writes the one chosen on OK (a failed write goes to the program's
    // error box). True when the source in store.ini changed.
    static bool edit(QWidget *parent, const QString &storeIniPath);

    void accept() override;

    QRadioButton *noneButton = nullptr;
    QRadioButton *osmButton = nullptr;
    QRadioButton *templateButton = nullptr;
    QLineEdit *templateEdit = nullptr;
    QRadioButton *mbtilesButton = nullptr;
    QLineEdit *mbtilesEdit = nullptr;
    QPushButton *browseButton = nullptr;
    QLabel *problemLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    void browse();
    void refuse(QWidget *field, const QString &reason);
};
