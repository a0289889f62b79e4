#pragma once
#include "AnsiFile.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <algorithm>

// A ride log file with the usual headings and the given rides (rows 1…);
// with the bikes' column when a ride has an eighth cell.
inline QByteArray rideLogFile(const QList<QStringList> &rides)
{
    int columns = 7;
    for (const QStringList &ride : rides)
        columns = std::max(columns, int(ride.size()));
    QString t = QStringLiteral("|\r\n%1|%2\r\n18\r\n\r\n\r\nTop\r\nColumn 0 Width: 62\r\n")
                    .arg(rides.size() + 1)
                    .arg(columns);
    const QStringList headings = {"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5", "Kolo"};
    for (int c = 0; c < columns; ++c)
        t += QStringLiteral("%1|0|%2\r\n").arg(c).arg(headings[c]);
    for (int r = 0; r < rides.size(); ++r)
        for (int c = 0; c < rides[r].size(); ++c)
            if (!rides[r][c].isEmpty())
                t += QStringLiteral("%1|%2|%3\r\n").arg(c).arg(r + 1).arg(rides[r][c]);
    t += QStringLiteral("\r\n");
    return AnsiFile::encode(t);
}
