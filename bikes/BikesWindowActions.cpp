// What the buttons of the window "Kola" do: each change is written to the
// file at once, then shown.
#include "BikesWindow.h"
#include "BikeDialogs.h"
#include "Messages.h"
#include "ModalWindow.h"

#include <QComboBox>
#include <QTableView>
#include <QTableWidget>

namespace {
// The last day the part's history names: no event may come before it.
QDate lastEventDate(const Bikes::Part &part)
{
    return part.events.isEmpty() ? QDate() : part.events.constLast().date;
}

bool confirmed(const QString &text)
{
    return Messages::instance().choose(text, {QStringLiteral("Ano"), QStringLiteral("Ne")}, 1, 1) == 0;
}
} // namespace

void BikesWindow::newBike()
{
    Bikes::Bike bike;
    bike.type = Bikes::bikeTypes().constFirst();
    // A bike that rides name and the file does not know: made with that name.
    if (const QTableWidgetItem *item = bikeTable->item(bikeTable->currentRow(), 0))
        bike.name = item->data(Qt::UserRole + 1).toString();
    BikeDialog dialog(m_garage, bike, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString section = m_garage.addBike(dialog.bike()).section;
    fillBikes(section);
}

void BikesWindow::editBike()
{
    const Bikes::Bike *bike = m_garage.bikeBySection(selectedBike());
    if (!bike)
        return;
    BikeDialog dialog(m_garage, *bike, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString from = bike->name;
    const Bikes::Bike changed = dialog.bike();
    m_garage.updateBike(changed);
    // The rides follow the bike's new name, as one change of the log.
    if (changed.name != from && m_renameRides) {
        m_renameRides(from, changed.name);
        m_mileage = std::make_unique<Bikes::Mileage>(m_log);
    }
    fillBikes(changed.section);
}

void BikesWindow::retireBike()
{
    const Bikes::Bike *bike = m_garage.bikeBySection(selectedBike());
    if (!bike)
        return;
    const QString section = bike->section;
    m_garage.setRetired(section, !bike->retired);
    fillBikes(section);
}

void BikesWindow::makeDefault()
{
    const QString section = selectedBike();
    if (!m_garage.bikeBySection(section))
        return;
    m_garage.setDefault(section);
    fillBikes(section);
}

void BikesWindow::removeBike()
{
    const Bikes::Bike *bike = m_garage.bikeBySection(selectedBike());
    if (!bike)
        return;
    if (ridesOf(*bike) > 0) {
        Messages::instance().info(
            QStringLiteral("Kolo „%1“ má v deníku jízdy, a proto ho nelze smazat; můžete ho vyřadit.").arg(bike->name));
        return;
    }
    if (!confirmed(QStringLiteral("Smazat kolo „%1“?").arg(bike->name)))
        return;
    m_garage.removeBike(bike->section);
    fillBikes(QString());
}

void BikesWindow::newPart()
{
    const Bikes::Bike *bike = m_garage.bikeBySection(selectedBike());
    if (!bike)
        return;
    PartDialog dialog(bike->name, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Bikes::Part part = dialog.part();
    part.events.first().bike = bike->section;
    const QString section = m_garage.addPart(part).section;
    showParts();
    selectPart(section);
}

void BikesWindow::partServiced()
{
    const Bikes::Part *part = m_garage.partBySection(selectedPart());
    if (!part)
        return;
    PartEventDialog dialog(QStringLiteral("Servis proveden"),
                           QStringLiteral("Servis dílu „%1“: počet km se začne počítat znovu od tohoto dne.")
                               .arg(part->name),
                           {}, lastEventDate(*part), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString section = part->section;
    m_garage.addEvent(section, {dialog.date(), Bikes::PartEvent::Serviced, {}});
    showParts();
    selectPart(section);
}

void BikesWindow::replacePart()
{
    const Bikes::Part *part = m_garage.partBySection(selectedPart());
    if (!part)
        return;
    PartEventDialog dialog(QStringLiteral("Vyměnit díl"),
                           QStringLiteral("Díl „%1“ bude vyřazen se svými km a nový díl stejného názvu a intervalu "
                                          "začne počítat od tohoto dne.")
                               .arg(part->name),
                           {}, lastEventDate(*part), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString fresh = m_garage.replacePart(part->section, dialog.date()).section;
    showParts();
    selectPart(fresh);
}

void BikesWindow::movePart()
{
    const Bikes::Part *part = m_garage.partBySection(selectedPart());
    if (!part)
        return;
    QList<std::pair<QString, QString>> others;
    for (const Bikes::Bike *b : m_garage.bikesInOrder())
        if (b->section != part->bike())
            others.append({b->name, b->section});
    if (others.isEmpty())
        return;
    PartEventDialog dialog(QStringLiteral("Přesunout na kolo"),
                           QStringLiteral("Díl „%1“ bude od tohoto dne počítat km jiného kola; km z dosavadního kola "
                                          "mu zůstanou v historii.")
                               .arg(part->name),
                           others, lastEventDate(*part), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString section = part->section;
    m_garage.addEvent(section, {dialog.date(), Bikes::PartEvent::Moved, dialog.bike()});
    fillBikes(dialog.bike());
    selectPart(section);
}

void BikesWindow::removePart()
{
    const Bikes::Part *part = m_garage.partBySection(selectedPart());
    if (!part)
        return;
    if (!confirmed(QStringLiteral("Odstranit díl „%1“ i s jeho historií?").arg(part->name)))
        return;
    m_garage.removePart(part->section);
    showParts();
    updateButtons();
}
