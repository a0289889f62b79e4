#include "BikeDialogs.h"
#include "BikeMileage.h"
#include "LocaleService.h"
#include "NumberText.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace {
QLabel *newProblemLabel(QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QStringLiteral("problemLabel"));
    l->setWordWrap(true);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(170, 0, 0));
    l->setPalette(p);
    l->hide();
    return l;
}

QDialogButtonBox *newButtons(QDialog *dialog)
{
    auto *b = new QDialogButtonBox(dialog);
    b->setObjectName(QStringLiteral("buttons"));
    QPushButton *ok = b->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    // Enter in any field is OK.
    ok->setDefault(true);
    b->addButton(QStringLiteral("Storno"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(b, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return b;
}

QDateEdit *newDateEdit(const QDate &date, QWidget *parent)
{
    auto *e = new QDateEdit(date, parent);
    e->setCalendarPopup(true);
    e->setDisplayFormat(LocaleService::instance().shortDateFormat());
    return e;
}

// Shows the reason in the dialog and puts the rider into the field.
void refuse(QLabel *label, QWidget *field, const QString &reason)
{
    label->setText(reason);
    label->show();
    field->setFocus(Qt::OtherFocusReason);
}

// An empty text is none; otherwise a number from 0 up to the bound.
std::optional<double> kmOrNone(const QString &text, bool *ok)
{
    *ok = true;
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const auto km = NumberText::parse(text);
    *ok = km && std::isfinite(*km) && *km >= 0 && *km <= Bikes::Garage::kMaxKm;
    return *ok ? km : std::nullopt;
}
} // namespace

// ---------------------------------------------------------------- a bike

BikeDialog::BikeDialog(const Bikes::Garage &garage, const Bikes::Bike &bike, QWidget *parent)
    : QDialog(parent), m_garage(garage), m_bike(bike)
{
    setObjectName(QStringLiteral("BikeDialog"));
    setWindowTitle(bike.section.isEmpty() ? QStringLiteral("Nové kolo") : QStringLiteral("Upravit kolo"));
    nameEdit = new QLineEdit(bike.name, this);
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    typeBox = new QComboBox(this);
    typeBox->setObjectName(QStringLiteral("typeBox"));
    typeBox->addItems(Bikes::bikeTypes());
    typeBox->setCurrentIndex(std::max(0, int(Bikes::bikeTypes().indexOf(bike.type))));
    kmBeforeEdit = new QLineEdit(bike.kmBefore > 0 ? NumberText::format(bike.kmBefore) : QString(), this);
    kmBeforeEdit->setObjectName(QStringLiteral("kmBeforeEdit"));
    problemLabel = newProblemLabel(this);
    buttons = newButtons(this);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Název:"), nameEdit);
    form->addRow(QStringLiteral("&Typ:"), typeBox);
    form->addRow(QStringLiteral("Najeto &před deníkem (km):"), kmBeforeEdit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

Bikes::Bike BikeDialog::bike() const
{
    Bikes::Bike b = m_bike;
    b.name = nameEdit->text();
    b.type = typeBox->currentText();
    b.kmBefore = NumberText::parse(kmBeforeEdit->text()).value_or(0);
    return b;
}

void BikeDialog::accept()
{
    const QString problem = m_garage.bikeNameProblem(nameEdit->text(), m_bike.section);
    if (!problem.isEmpty())
        return refuse(problemLabel, nameEdit, problem);
    bool ok = false;
    kmOrNone(kmBeforeEdit->text(), &ok);
    if (!ok)
        return refuse(problemLabel, kmBeforeEdit,
                      QStringLiteral("Najeto před deníkem musí být počet km od 0 do %1.")
                          .arg(Bikes::kmText(Bikes::Garage::kMaxKm)));
    QDialog::accept();
}

// ---------------------------------------------------------------- a part

PartDialog::PartDialog(const QString &bikeName, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PartDialog"));
    setWindowTitle(QStringLiteral("Nový díl – %1").arg(bikeName));
    nameBox = new QComboBox(this);
    nameBox->setObjectName(QStringLiteral("nameBox"));
    nameBox->setEditable(true);
    nameBox->setInsertPolicy(QComboBox::NoInsert);
    nameBox->addItems(Bikes::partSuggestions());
    nameBox->setEditText(QString());
    mountedEdit = newDateEdit(QDate::currentDate(), this);
    mountedEdit->setObjectName(QStringLiteral("mountedEdit"));
    intervalKmEdit = new QLineEdit(this);
    intervalKmEdit->setObjectName(QStringLiteral("intervalKmEdit"));
    intervalKmEdit->setPlaceholderText(QStringLiteral("bez intervalu"));
    intervalMonthsBox = new QSpinBox(this);
    intervalMonthsBox->setObjectName(QStringLiteral("intervalMonthsBox"));
    intervalMonthsBox->setRange(0, 120);
    intervalMonthsBox->setSpecialValueText(QStringLiteral("bez intervalu"));
    problemLabel = newProblemLabel(this);
    buttons = newButtons(this);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Díl:"), nameBox);
    form->addRow(QStringLiteral("Na&montováno:"), mountedEdit);
    form->addRow(QStringLiteral("Interval (&km):"), intervalKmEdit);
    form->addRow(QStringLiteral("Interval (mě&síce):"), intervalMonthsBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

Bikes::Part PartDialog::part() const
{
    Bikes::Part p;
    p.name = nameBox->currentText().trimmed();
    bool ok = false;
    p.intervalKm = kmOrNone(intervalKmEdit->text(), &ok);
    p.intervalMonths = intervalMonthsBox->value();
    p.events = {{mountedEdit->date(), Bikes::PartEvent::Mounted, {}}};
    return p;
}

void PartDialog::accept()
{
    const QString problem = Bikes::Garage::partNameProblem(nameBox->currentText());
    if (!problem.isEmpty())
        return refuse(problemLabel, nameBox, problem);
    bool ok = false;
    const auto km = kmOrNone(intervalKmEdit->text(), &ok);
    if (!ok || (km && *km <= 0))
        return refuse(problemLabel, intervalKmEdit,
                      QStringLiteral("Interval musí být kladný počet km, nebo prázdný."));
    QDialog::accept();
}

// ---------------------------------------------------------------- service, replacement, move

PartEventDialog::PartEventDialog(const QString &title, const QString &text,
                                 const QList<std::pair<QString, QString>> &bikes, const QDate &notBefore,
                                 QWidget *parent)
    : QDialog(parent), m_notBefore(notBefore)
{
    setObjectName(QStringLiteral("PartEventDialog"));
    setWindowTitle(title);
    auto *label = new QLabel(text, this);
    label->setWordWrap(true);
    dateEdit = newDateEdit(std::max(QDate::currentDate(), notBefore), this);
    dateEdit->setObjectName(QStringLiteral("dateEdit"));
    problemLabel = newProblemLabel(this);
    buttons = newButtons(this);
    auto *form = new QFormLayout;
    if (!bikes.isEmpty()) {
        bikeBox = new QComboBox(this);
        bikeBox->setObjectName(QStringLiteral("bikeBox"));
        for (const auto &[name, section] : bikes)
            bikeBox->addItem(name, section);
        form->addRow(QStringLiteral("Na &kolo:"), bikeBox);
    }
    form->addRow(QStringLiteral("&Datum:"), dateEdit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

QDate PartEventDialog::date() const
{
    return dateEdit->date();
}

QString PartEventDialog::bike() const
{
    return bikeBox ? bikeBox->currentData().toString() : QString();
}

void PartEventDialog::accept()
{
    if (m_notBefore.isValid() && dateEdit->date() < m_notBefore)
        return refuse(problemLabel, dateEdit,
                      QStringLiteral("Datum nesmí být dřív než poslední záznam dílu (%1).")
                          .arg(LocaleService::instance().formatDate(m_notBefore)));
    QDialog::accept();
}
