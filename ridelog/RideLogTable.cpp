#include "RideLogTable.h"
#include "RideColumn.h"
#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"
#include "TPubStrGrid.h"

#include <QFileInfo>

bool isNewRideLog(const TPubStrGrid &log)
{
    return log.RowCount() == log.FixedRows() + 1 && log.cellView(RideColumn::Date, log.FixedRows()).isEmpty();
}

int appendRides(TPubStrGrid &log, const QList<QStringList> &rides)
{
    int row = -1;
    for (const QStringList &cells : rides) {
        if (isNewRideLog(log)) {
            row = log.FixedRows();
        } else {
            log.setRowCount(log.RowCount() + 1);
            row = log.RowCount() - 1;
        }
        log.setRows(row, cells);
    }
    return row;
}

void setUpRideLogTable(TPubStrGrid &log)
{
    log.setAutoSave(false);
    log.setAutoBackup(false);
    log.setColCount(RideColumn::Count);
    log.setRowCount(2);
    log.setFixedRows(1);
    log.setFixedCols(0);
    log.setDefaultRowHeight(18);
    log.setDefaultColWidth(64);
    log.setColWidths(0, 62);
    log.setOptions(TPubStrGrid::goFixedVertLine | TPubStrGrid::goFixedHorzLine | TPubStrGrid::goVertLine
                   | TPubStrGrid::goHorzLine | TPubStrGrid::goColSizing | TPubStrGrid::goTabs
                   | TPubStrGrid::goRowSelect);
    log.setGrid3D(false);
    log.setHCol({QStringLiteral("Datum"), QStringLiteral("Název"), QStringLiteral("Průběh trasy"),
                 QStringLiteral("Km"), QStringLiteral("Čas"), QStringLiteral("km/h"), QStringLiteral("1-5")});
    log.Loaded();
}

QStringList rideLogWidthSamples()
{
    return {LocaleService::instance().formatDate(QDate(2025, 12, 28)), NumberText::format(1234.56)};
}

RideLogPrefetch::RideLogPrefetch(const QString &path)
    : m_path(path), m_table(std::make_unique<TPubStrGrid>())
{
    setUpRideLogTable(*m_table);
    // The table is the thread's alone until wait(): no view, no connection.
    m_thread = std::thread([this] {
        m_error = failureOf([this] { m_table->LoadFromFile(m_path); });
        m_totals = RideArithmetic::totals(*m_table);
    });
}

RideLogPrefetch::~RideLogPrefetch()
{
    wait();
}

void RideLogPrefetch::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

TPubStrGrid &RideLogPrefetch::table()
{
    wait();
    return *m_table;
}

const QString &RideLogPrefetch::error()
{
    wait();
    return m_error;
}

const RideArithmetic::Totals &RideLogPrefetch::totals()
{
    wait();
    return m_totals;
}
