#pragma once
#include "RideLogTable.h"
#include "StringTable.h"

#include <QStringList>

// A ride log set up as the main window's, one ride a route name; an empty
// name is an empty row.
inline void fillRideLog(StringTable &log, const QStringList &names)
{
    setUpRideLogTable(log);
    log.setTableRowCount(1 + int(names.size()));
    for (int i = 0; i < names.size(); ++i)
        log.setRowTexts(1 + i, names[i].isEmpty() ? QStringList() : QStringList{QStringLiteral("1.5.2025"), names[i]});
}

// The route names of the rides, row 1 on.
inline QStringList rideNames(const StringTable &log)
{
    QStringList names;
    for (int row = log.headingRows(); row < log.tableRowCount(); ++row)
        names.append(log.cell(1, row));
    return names;
}
