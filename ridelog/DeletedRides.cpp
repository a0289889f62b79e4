#include "DeletedRides.h"
#include "TPubStrGrid.h"

#include <algorithm>

void DeletedRides::push(int row, const QStringList &cells)
{
    // An empty row is no ride: there is nothing to bring back.
    if (std::all_of(cells.begin(), cells.end(), [](const QString &c) { return c.isEmpty(); }))
        return;
    m_rides.append({row, cells});
}

namespace {
bool isEmptyRow(const TPubStrGrid &log, int row)
{
    for (int col = 0; col < log.ColCount(); ++col) {
        if (!log.cellView(col, row).isEmpty())
            return false;
    }
    return true;
}
} // namespace

int DeletedRides::restoreLast(TPubStrGrid &log)
{
    if (m_rides.isEmpty())
        return -1;
    const Ride ride = m_rides.takeLast();
    const int first = log.FixedRows();
    if (log.RowCount() - first == 1 && isEmptyRow(log, first)) {
        log.setRows(first, ride.cells);
        return first;
    }
    const int row = std::clamp(ride.row, first, log.RowCount());
    const int last = log.RowCount();
    log.setRowCount(last + 1);
    log.setRows(last, ride.cells);
    log.MoveRow(last, row);
    return row;
}
