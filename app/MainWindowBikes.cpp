// The main window and the rider's bikes: the bike of each ride in the
// editor panel, the window "Kola", the reminders of parts due, and a bike's
// renaming in every ride as one change that Ctrl+Z undoes.
#include "MainWindow.h"
#include "AppError.h"
#include "BikeGarage.h"
#include "BikeMileage.h"
#include "BikesWindow.h"
#include "Messages.h"
#include "ModalWindow.h"
#include "RideColumn.h"
#include "RideLogFiles.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "StringTableView.h"

#include <QAction>
#include <QComboBox>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

namespace {
const QString kNoBike = QStringLiteral("(žádné)");
constexpr int kFirstReminderDelay = 300; // ms
} // namespace

void MainWindow::readBikes()
{
    takeBikes(Bikes::Garage::read(m_where.bikes()));
}

void MainWindow::readBikesAside()
{
    // A file of absurd size must not hold up the window: it is read in a
    // thread of its own, and the bikes come when it is done.
    auto *watcher = new QFutureWatcher<Bikes::Garage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (m_bikes)
            return;
        runGuarded([&] { takeBikes(watcher->result()); });
        // The first reminders come once the window has been drawn: the
        // start does not wait for the km of every part.
        if (m_bikeCheck->isActive())
            m_bikeCheck->start(kFirstReminderDelay);
    });
    m_bikeReader = std::make_unique<QThreadPool>();
    m_bikeReader->setMaxThreadCount(1);
    watcher->setFuture(QtConcurrent::run(m_bikeReader.get(), Bikes::Garage::read, m_where.bikes()));
}

void MainWindow::takeBikes(Bikes::Garage garage)
{
    m_bikes = std::make_unique<Bikes::Garage>(std::move(garage));
    m_bikes->setWriter(Bikes::writerThrough(&m_files->keeper(), m_where.bikes()));
    fillBikeBox();
    scheduleBikeCheck();
}

void MainWindow::fillBikeBox()
{
    if (!m_bikes)
        return;
    const QSignalBlocker block(bikeBox);
    bikeBox->clear();
    bikeBox->addItem(kNoBike, QString());
    for (const Bikes::Bike *b : m_bikes->bikesInOrder())
        bikeBox->addItem(b->retired ? excerpt(b->name) + QStringLiteral(" (vyřazené)") : excerpt(b->name), b->name);
    showRideBike(rideTable->currentRow());
}

void MainWindow::showRideBike(int row)
{
    if (!m_bikes)
        return;
    const bool shown = !m_bikes->bikes().isEmpty() || hasBikeColumn(*m_log);
    bikeLabel->setVisible(shown);
    bikeBox->setVisible(shown);
    const QString bike = m_log->cell(RideColumn::Bike, row);
    const QSignalBlocker block(bikeBox);
    int at = bike.isEmpty() ? 0 : -1;
    for (int i = 1; at < 0 && i < bikeBox->count(); ++i)
        if (bikeBox->itemData(i).toString().compare(bike, Qt::CaseInsensitive) == 0)
            at = i;
    // A name no bike has (a file edited by hand) is shown as it is.
    if (at < 0) {
        bikeBox->addItem(excerpt(bike), bike);
        at = bikeBox->count() - 1;
    }
    bikeBox->setCurrentIndex(at);
}

void MainWindow::setRideBike(int row, const QString &bike)
{
    if (bike.isEmpty() && !hasBikeColumn(*m_log))
        return;
    addBikeColumn(*m_log);
    m_log->setCellIfChanged(RideColumn::Bike, row, bike);
}

void MainWindow::commitBike()
{
    if (m_log->viewRow(rideTable->currentRow()) < 0)
        return;
    setRideBike(rideTable->currentRow(), bikeBox->currentData().toString());
    fillBikeBox();
}

QString MainWindow::bikeForNewRide(int currentRow) const
{
    const QString current = m_log->cell(RideColumn::Bike, currentRow);
    if (!current.isEmpty())
        return current;
    const Bikes::Bike *fallback = m_bikes ? m_bikes->defaultBike() : nullptr;
    return fallback ? fallback->name : QString();
}

void MainWindow::giveBikes(QList<QStringList> &rides) const
{
    const Bikes::Bike *fallback = m_bikes ? m_bikes->defaultBike() : nullptr;
    bool any = hasBikeColumn(*m_log);
    for (QStringList &cells : rides) {
        const Bikes::Bike *named = m_bikes ? m_bikes->bikeNamed(cells.value(RideColumn::Bike)) : nullptr;
        const Bikes::Bike *bike = named ? named : fallback;
        if (cells.size() < RideColumn::CountWithBike)
            cells.resize(RideColumn::CountWithBike);
        cells[RideColumn::Bike] = bike ? bike->name : QString();
        any = any || bike;
    }
    // A log without bikes keeps its seven columns (a ride with a kept file
    // keeps its link, behind an empty bike).
    if (!any)
        for (QStringList &cells : rides)
            if (cells.size() <= RideColumn::CountWithBike)
                cells.resize(RideColumn::Count);
}

// ---------------------------------------------------------------- reminders

void MainWindow::scheduleBikeCheck()
{
    if (m_log->changingShownRows())
        return;
    if (m_bikes && !m_bikes->parts().isEmpty())
        m_bikeCheck->start();
    else
        serviceReminder->hide();
}

void MainWindow::showServiceReminders()
{
    const QList<Bikes::Reminder> due = Bikes::reminders(*m_bikes, Bikes::Mileage(*m_log), QDate::currentDate());
    if (due.isEmpty()) {
        serviceReminder->hide();
        return;
    }
    QString text = due.constFirst().text;
    if (due.size() > 1)
        text += QStringLiteral(" (a %1 další)").arg(due.size() - 1);
    serviceReminder->setText(text);
    QStringList lines;
    for (const Bikes::Reminder &r : due)
        lines.append(r.text);
    lines.append(QStringLiteral("Otevřít Kola (%1)").arg(bikesAction->shortcut().toString(QKeySequence::NativeText)));
    serviceReminder->setToolTip(lines.join(u'\n'));
    serviceReminder->show();
}

// ---------------------------------------------------------------- the window, renaming

void MainWindow::openBikesWindow()
{
    commitActiveEditor();
    execModal<BikesWindow>(*m_log, m_where.bikes(), &m_files->keeper(),
                           [this](const QString &from, const QString &to) { renameBikeInRides(from, to); }, this);
    readBikes();
}

void MainWindow::renameBikeInRides(const QString &from, const QString &to)
{
    if (::renameBikeInRides(*m_log, from, to) == 0)
        return;
    m_undoSteps.append({true, from, to});
    updateUndoAction();
}

void MainWindow::updateUndoAction()
{
    const bool rename = !m_undoSteps.isEmpty() && m_undoSteps.constLast().bikeRename;
    undoDeleteAction->setText(rename ? QStringLiteral("Vrátit přejmenování kola")
                                     : QStringLiteral("Vrátit odstraněný záznam"));
    undoDeleteAction->setEnabled(!m_undoSteps.isEmpty());
}

void MainWindow::undoDelete()
{
    commitActiveEditor();
    if (m_undoSteps.isEmpty())
        return;
    const UndoStep step = m_undoSteps.takeLast();
    updateUndoAction();
    if (!step.bikeRename) {
        const int row = m_deleted.restoreLast(*m_log);
        if (row >= 0)
            showRow(row);
        return;
    }
    // The bike takes its old name again, in the file and in every ride.
    Bikes::Garage garage = Bikes::Garage::read(m_where.bikes());
    garage.setWriter(Bikes::writerThrough(&m_files->keeper(), m_where.bikes()));
    const Bikes::Bike *renamed = garage.bikeNamed(step.to);
    if (const QString problem = garage.bikeNameProblem(step.from, renamed ? renamed->section : QString());
        !problem.isEmpty()) {
        Messages::instance().info(QStringLiteral("Přejmenování kola nelze vrátit: %1").arg(problem));
        return;
    }
    if (renamed) {
        Bikes::Bike back = *renamed;
        back.name = step.from;
        garage.updateBike(back);
    }
    ::renameBikeInRides(*m_log, step.to, step.from);
    readBikes();
    showRow(rideTable->currentRow());
}
