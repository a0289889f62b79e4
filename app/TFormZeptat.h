#pragma once
#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

// The question after start: add a new ride? Whatever way it closes, the
// option that asks it is set from its check box for the next start.
class TFormZeptat : public QDialog
{
    Q_OBJECT
public:
    TFormZeptat(QAction *askOption, QWidget *parent);

    QLabel *Label1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QCheckBox *CheckBox1 = nullptr;

    void done(int result) override;

private:
    void FormClose();

    QAction *m_askOption;
};
