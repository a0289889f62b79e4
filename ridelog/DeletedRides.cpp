#include "DeletedRides.h"
#include "StringTable.h"

#include <algorithm>

void DeletedRides::push(int row, const QStringList &cells)
{
    // An empty row is no ride: there is nothing to bring back.
    if (std::all_of(cells.begin(), cells.end(), [](const QString &c) { return c.isEmpty(); }))
        return;
    m_rides.append({row, cells});
}

namespace {
bool isEmptyRow(const StringTable &log, int row)
{
    for (int col = 0; col < log.tableColumnCount(); ++col) {
        if (!log.cellView(col, row).isEmpty())
            return false;
    }
    return true;
}
} // namespace

int DeletedRides::restoreLast(StringTable &log)
{
    if (m_rides.isEmpty())
        return -1;
    const Ride ride = m_rides.takeLast();
    const int first = log.headingRows();
    if (log.tableRowCount() - first == 1 && isEmptyRow(log, first)) {
        log.setRowTexts(first, ride.cells);
        return first;
    }
    const int row = std::clamp(ride.row, first, log.tableRowCount());
    const int last = log.tableRowCount();
    log.setTableRowCount(last + 1);
    log.setRowTexts(last, ride.cells);
    log.moveRow(last, row);
    return row;
}
