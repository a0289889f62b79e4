// The main window's filter over the ride log, the statistics it opens and
// the yearly goal beside the totals.
#include "MainWindow.h"
#include "BikeGarage.h"
#include "Messages.h"
#include "ModalWindow.h"
#include "RideColumn.h"
#include "RideDayReader.h"
#include "RideFilterBar.h"
#include "RideLogTable.h"
#include "RideStatistics.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "WidgetMessages.h"
#include "YearlyGoal.h"
#include "YearlyGoalDialog.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTimer>

void MainWindow::buildFilterBar()
{
    filterBar = new RideFilterBar(this);
    filterBar->hide();
    connect(filterBar, &RideFilterBar::criteriaChanged, this, guardedSlot(this, &MainWindow::applyFilter));
    connect(filterBar, &RideFilterBar::closed, this, [this] {
        runGuarded([this] { applyFilter(); });
        rideTable->setFocus(Qt::OtherFocusReason);
    });
    m_goalCheck = new QTimer(this);
    m_goalCheck->setSingleShot(true);
    m_goalCheck->setInterval(0);
    connect(m_goalCheck, &QTimer::timeout, this, [this] { runGuarded([this] { showGoalProgress(); }); });
}

void MainWindow::openFilterBar()
{
    commitActiveEditor();
    offerFilterChoices();
    filterBar->open();
    updateFilterCount();
}

void MainWindow::offerFilterChoices()
{
    // The years of the log, newest first, from one reading of its dates.
    QSet<int> years;
    RideDayReader days;
    for (int r = 1; r < m_log->tableRowCount(); ++r)
        if (const auto day = days.dayOf(m_log->cellView(RideColumn::Date, r)))
            years.insert(day->year());
    QList<int> newestFirst(years.cbegin(), years.cend());
    std::sort(newestFirst.begin(), newestFirst.end(), std::greater<>());
    filterBar->setYears(newestFirst);
    // The rider's bikes, then the names only the rides know.
    QStringList bikes;
    if (m_bikes)
        for (const Bikes::Bike *b : m_bikes->bikesInOrder())
            bikes.append(b->name);
    for (const QString &name : RideStatistics::bikeNames(*m_log))
        if (!bikes.contains(name, Qt::CaseInsensitive))
            bikes.append(name);
    filterBar->setBikes(bikes);
}

void MainWindow::applyFilter()
{
    const RideFilter::Criteria criteria = filterBar->criteria();
    const int current = rideTable->currentRow();
    const bool hadRide = !m_log->rowsFiltered() || m_log->viewRow(current) >= 0;
    // A letter more in the search looks only at the rides shown so far:
    // only the rides shown can have changed meanwhile, and a ride no
    // longer matching after an edit is looked at again.
    const bool narrower = m_log->rowsFiltered() && m_lastCriteria && RideFilter::narrows(criteria, *m_lastCriteria);
    if (criteria.isEmpty())
        m_log->showAllRows();
    else
        m_log->setShownRows(RideFilter::matchingRows(*m_log, criteria, narrower ? &m_log->shownRows() : nullptr));
    m_lastCriteria = criteria;
    // The ride the rider was on stays current when it is still shown;
    // otherwise the first shown one is.
    if (hadRide && m_log->viewRow(current) >= 0)
        rideTable->setCurrentRow(current);
    else if (m_log->rowCount() > 0)
        rideTable->setCurrentRow(m_log->gridRow(0));
    // No ride shown: the editors are empty (a row past the log's end).
    loadEditors(0, m_log->rowCount() > 0 ? rideTable->currentRow() : m_log->tableRowCount());
    recalcTotals();
}

void MainWindow::clearFilter()
{
    filterBar->clear();
    if (!m_log->rowsFiltered())
        return;
    const int current = rideTable->currentRow();
    m_log->showAllRows();
    rideTable->setCurrentRow(current);
    updateFilterCount();
}

void MainWindow::updateFilterCount()
{
    const bool filtered = m_log->rowsFiltered();
    const int total = dataRowCount();
    filterBar->showCount(filtered ? m_log->rowCount() : total, total);
    // A filter that shows no ride leaves nothing to edit.
    editorPanel->setEnabled(!filtered || m_log->rowCount() > 0);
    totalDistanceLabel->setText(filtered ? QStringLiteral("Ujeté km (zobrazené) :") : QStringLiteral("Ujeté km celkem :"));
    totalTimeLabel->setText(filtered ? QStringLiteral("Čas (zobrazené, hod):") : QStringLiteral("Čas celkem (hod):"));
    totalAverageLabel->setText(filtered ? QStringLiteral("Průměr km/h (zobrazené) :")
                                        : QStringLiteral("Celkový průměr km/h :"));
}

std::unique_ptr<StringTable> MainWindow::shownRidesCopy() const
{
    if (!m_log->rowsFiltered())
        return nullptr;
    auto copy = std::make_unique<StringTable>();
    setUpRideLogTable(*copy);
    const std::vector<int> &rows = m_log->shownRows();
    copy->beginBulkUpdate();
    copy->setTableColumnCount(m_log->tableColumnCount());
    copy->setTableRowCount(int(rows.size()) + 1);
    copy->setRowTexts(0, m_log->rowTexts(0));
    for (size_t i = 0; i < rows.size(); ++i)
        copy->setRowTexts(int(i) + 1, m_log->rowTexts(rows[i]));
    copy->endBulkUpdate();
    return copy;
}

void MainWindow::openStatistics()
{
    commitActiveEditor();
    StatisticsWindow::Options options;
    if (m_log->rowsFiltered())
        options.shownRows = &m_log->shownRows();
    options.yearlyGoals = m_goals;
    auto window = std::make_unique<StatisticsWindow>(*m_log, this, options);
    int chosen = -1;
    connect(window.get(), &StatisticsWindow::rideActivated, this, [&chosen](int row) { chosen = row; });
    execModal(std::move(window));
    if (chosen >= 1 && chosen < m_log->tableRowCount())
        showRow(chosen);
}

// ---------------------------------------------------------------- the yearly goal

void MainWindow::editYearlyGoal()
{
    commitActiveEditor();
    m_goals = YearlyGoal::read(m_where.settings());
    YearlyGoalDialog dialog(m_goals, QDate::currentDate().year(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    YearlyGoal::write(m_where.settings(), dialog.year(), dialog.km());
    m_goals = YearlyGoal::read(m_where.settings());
    showGoalProgress();
}

void MainWindow::scheduleGoalCheck()
{
    if (m_log->changingShownRows())
        return;
    if (m_goals.count(QDate::currentDate().year()))
        m_goalCheck->start();
    else
        goalLabel->hide();
}

void MainWindow::showGoalProgress()
{
    const QDate today = QDate::currentDate();
    const auto goal = m_goals.find(today.year());
    if (goal == m_goals.end()) {
        goalLabel->hide();
        return;
    }
    const YearlyGoal::Progress p = YearlyGoal::progress(*m_log, goal->second, today);
    goalLabel->setText(YearlyGoal::progressText(p) + QStringLiteral(", ") + YearlyGoal::paceText(p));
    goalLabel->show();
}
