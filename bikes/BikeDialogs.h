#pragma once
#include "BikeGarage.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The dialogs of the window "Kola". Each refuses what the files cannot
// hold with the reason in a line of its own, without a box over it.

// A bike made or changed: name, type, km before the log.
class BikeDialog : public QDialog
{
    Q_OBJECT
public:
    // `bike`: the bike changed (its section set), or a new one.
    BikeDialog(const Bikes::Garage &garage, const Bikes::Bike &bike, QWidget *parent = nullptr);
    Bikes::Bike bike() const;

    QLineEdit *nameEdit = nullptr;
    QComboBox *typeBox = nullptr;
    QLineEdit *kmBeforeEdit = nullptr;
    QLabel *problemLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;

    void accept() override;

private:
    const Bikes::Garage &m_garage;
    Bikes::Bike m_bike;
};

// A new part: name (with suggestions), the day it was mounted, interval.
class PartDialog : public QDialog
{
    Q_OBJECT
public:
    PartDialog(const QString &bikeName, QWidget *parent = nullptr);
    Bikes::Part part() const;

    QComboBox *nameBox = nullptr;
    QDateEdit *mountedEdit = nullptr;
    QLineEdit *intervalKmEdit = nullptr;
    QSpinBox *intervalMonthsBox = nullptr;
    QLabel *problemLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;

    void accept() override;
};

// The day of a service, a replacement or a move, and for a move the bike
// the part goes to.
class PartEventDialog : public QDialog
{
    Q_OBJECT
public:
    // `bikes`: the bikes offered (name, section); none asks for no bike.
    // `notBefore`: the part's last event; an earlier day is refused.
    PartEventDialog(const QString &title, const QString &text, const QList<std::pair<QString, QString>> &bikes,
                    const QDate &notBefore, QWidget *parent = nullptr);
    QDate date() const;
    // The chosen bike's section.
    QString bike() const;

    QDateEdit *dateEdit = nullptr;
    QComboBox *bikeBox = nullptr;
    QLabel *problemLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;

    void accept() override;

private:
    QDate m_notBefore;
};
