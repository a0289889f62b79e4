#pragma once
#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

// The question after start: add a new ride? Whatever way it closes, the
// option that asks it is set from its check box for the next start.
class AddRideQuestion : public QDialog
{
    Q_OBJECT
public:
    AddRideQuestion(QAction *askOption, QWidget *parent);

    QLabel *questionLabel = nullptr;
    QPushButton *yesButton = nullptr;
    QPushButton *noButton = nullptr;
    QCheckBox *dontAskBox = nullptr;

    void done(int result) override;

private:
    void storeAnswer();

    QAction *m_askOption;
};
