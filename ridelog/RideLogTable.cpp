#include "RideLogTable.h"
#include "RideColumn.h"
#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QFileInfo>

#include <algorithm>

bool isNewRideLog(const StringTable &log)
{
    return log.tableRowCount() == log.headingRows() + 1 && log.cellView(RideColumn::Date, log.headingRows()).isEmpty();
}

int appendRides(StringTable &log, const QList<QStringList> &rides)
{
    int row = -1;
    for (const QStringList &cells : rides) {
        if (isNewRideLog(log)) {
            row = log.headingRows();
        } else {
            log.setTableRowCount(log.tableRowCount() + 1);
            row = log.tableRowCount() - 1;
        }
        log.setRowTexts(row, cells);
    }
    return row;
}

void setUpRideLogTable(StringTable &log)
{
    log.setAutoBackup(false);
    log.setTableColumnCount(RideColumn::Count);
    log.setOwnColumnsFrom(RideColumn::KeptFile);
    log.setTableRowCount(2);
    log.setHeadingRows(1);
    log.setHeadingColumns(0);
    log.setDefaultRowHeight(18);
    log.setDefaultColumnWidth(64);
    log.setColumnWidth(0, 62);
    log.setOptions(StringTable::HeadingVerticalLines | StringTable::HeadingHorizontalLines | StringTable::VerticalLines
                   | StringTable::HorizontalLines | StringTable::ColumnSizing | StringTable::Tabs
                   | StringTable::RowSelect);
    log.setGrid3D(false);
    log.setColumnHeadings({QStringLiteral("Datum"), QStringLiteral("Název"), QStringLiteral("Průběh trasy"),
                 QStringLiteral("Km"), QStringLiteral("Čas"), QStringLiteral("km/h"), QStringLiteral("1-5")});
    log.applyHeadings();
}

QStringList rideLogWidthSamples()
{
    return {LocaleService::instance().formatDate(QDate(2025, 12, 28)), NumberText::format(1234.56)};
}

RideLogPrefetch::RideLogPrefetch(const QString &path)
    : m_path(path), m_table(std::make_unique<StringTable>())
{
    setUpRideLogTable(*m_table);
    // The table is the thread's alone until wait(): no view, no connection.
    m_thread = std::thread([this] {
        m_error = failureOf([this] { TableFile::load(*m_table, m_path); });
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

StringTable &RideLogPrefetch::table()
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

bool isEmptyRide(const StringTable &log, int row)
{
    for (int c = 0; c < std::min<int>(log.tableColumnCount(), RideColumn::Count); ++c) {
        const QStringView t = log.cellView(c, row).trimmed();
        if (!t.isEmpty() && !(c == RideColumn::Time && t == u":"))
            return false;
    }
    return true;
}

bool hasBikeColumn(const StringTable &log)
{
    return log.tableColumnCount() > RideColumn::Bike;
}

void addBikeColumn(StringTable &log)
{
    if (hasBikeColumn(log))
        return;
    log.setTableColumnCount(RideColumn::CountWithBike);
    for (int row = 0; row < log.headingRows(); ++row)
        log.setCell(RideColumn::Bike, row, QString::fromUtf16(kBikeHeading));
}

bool hasKeptFileColumn(const StringTable &log)
{
    return log.tableColumnCount() > RideColumn::KeptFile;
}

void addKeptFileColumn(StringTable &log)
{
    if (hasKeptFileColumn(log))
        return;
    addBikeColumn(log);
    log.setTableColumnCount(RideColumn::CountWithKeptFile);
    for (int row = 0; row < log.headingRows(); ++row)
        log.setCell(RideColumn::KeptFile, row, QString::fromUtf16(kKeptFileHeading));
}

int renameBikeInRides(StringTable &log, const QString &from, const QString &to)
{
    if (!hasBikeColumn(log))
        return 0;
    int renamed = 0;
    log.beginBulkUpdate();
    for (int row = log.headingRows(); row < log.tableRowCount(); ++row) {
        const QStringView bike = log.cellView(RideColumn::Bike, row);
        if (bike.size() == from.size() && bike.compare(from, Qt::CaseInsensitive) == 0) {
            log.setCell(RideColumn::Bike, row, to);
            ++renamed;
        }
    }
    log.endBulkUpdate();
    return renamed;
}
