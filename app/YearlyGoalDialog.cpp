#include "YearlyGoalDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

YearlyGoalDialog::YearlyGoalDialog(const std::map<int, double> &goals, int year, QWidget *parent)
    : QDialog(parent), m_goals(goals)
{
    setObjectName(QStringLiteral("YearlyGoalDialog"));
    setWindowTitle(QStringLiteral("Roční cíl"));
    yearBox = new QSpinBox(this);
    yearBox->setObjectName(QStringLiteral("goalYearBox"));
    yearBox->setRange(1900, 9999);
    yearBox->setGroupSeparatorShown(false);
    yearBox->setValue(year);
    kmBox = new QSpinBox(this);
    kmBox->setObjectName(QStringLiteral("goalKmBox"));
    kmBox->setRange(0, 1'000'000);
    kmBox->setSingleStep(100);
    kmBox->setSuffix(QStringLiteral(" km"));
    kmBox->setSpecialValueText(QStringLiteral("bez cíle"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Rok:"), yearBox);
    form->addRow(QStringLiteral("&Cíl:"), kmBox);
    auto *note = new QLabel(QStringLiteral("Hlavní okno ukazuje letošní ujeté km proti cíli a rovnoměrnému tempu."), this);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Zrušit"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(yearBox, &QSpinBox::valueChanged, this, &YearlyGoalDialog::showGoalOfYear);
    showGoalOfYear();
    kmBox->setFocus();
    kmBox->selectAll();
}

int YearlyGoalDialog::year() const
{
    return yearBox->value();
}

double YearlyGoalDialog::km() const
{
    return kmBox->value();
}

void YearlyGoalDialog::showGoalOfYear()
{
    const auto it = m_goals.find(yearBox->value());
    kmBox->setValue(it == m_goals.end() ? 0 : int(std::lround(std::min(it->second, 1e6))));
}
