#include "AddRideQuestion.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AddRideQuestion::AddRideQuestion(QAction *askOption, QWidget *parent) : QDialog(parent), m_askOption(askOption)
{
    setObjectName(QStringLiteral("AddRideQuestion"));
    setWindowTitle(QStringLiteral("Nový záznam"));
    setModal(true);

    questionLabel = new QLabel(QStringLiteral("Chcete přidat nový záznam?"), this);
    questionLabel->setObjectName(QStringLiteral("questionLabel"));
    yesButton = new QPushButton(QStringLiteral("Ano"), this);
    yesButton->setObjectName(QStringLiteral("yesButton"));
    yesButton->setDefault(true);
    noButton = new QPushButton(QStringLiteral("Ne"), this);
    noButton->setObjectName(QStringLiteral("noButton"));
    dontAskBox = new QCheckBox(QStringLiteral("příště se neptat"), this);
    dontAskBox->setObjectName(QStringLiteral("dontAskBox"));
    // Esc rejects the dialog, which is what "Ne" does.
    connect(yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(noButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yesButton);
    buttons->addWidget(noButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 8);
    layout->addWidget(questionLabel, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->addWidget(dontAskBox, 0, Qt::AlignLeft);
    setFixedSize(204, 115);
    yesButton->setFocus(Qt::OtherFocusReason);
}

void AddRideQuestion::storeAnswer()
{
    if (m_askOption)
        m_askOption->setChecked(!dontAskBox->isChecked());
}

void AddRideQuestion::done(int result)
{
    storeAnswer();
    QDialog::done(result);
}
