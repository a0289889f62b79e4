#include "TFormZeptat.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormZeptat::TFormZeptat(QAction *askOption, QWidget *parent) : QDialog(parent), m_askOption(askOption)
{
    setObjectName(QStringLiteral("FormZeptat"));
    setWindowTitle(QStringLiteral("Nový záznam"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Chcete přidat nový záznam?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Button1 = new QPushButton(QStringLiteral("Ano"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Ne"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    CheckBox1 = new QCheckBox(QStringLiteral("příště se neptat"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    // Esc rejects the dialog, which is what "Ne" does.
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 8);
    layout->addWidget(Label1, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->addWidget(CheckBox1, 0, Qt::AlignLeft);
    setFixedSize(204, 115);
    Button1->setFocus(Qt::OtherFocusReason);
}

void TFormZeptat::FormClose()
{
    if (m_askOption)
        m_askOption->setChecked(!CheckBox1->isChecked());
}

void TFormZeptat::done(int result)
{
    FormClose();
    QDialog::done(result);
}
