#pragma once
#include <QList>
#include <QStringList>

class StringTable;

// The rides deleted during this run, so that the rider can bring them
// back, the last deleted first, each at the row it was deleted from.
class DeletedRides
{
public:
    // A ride's texts as they were in `row` before it was deleted; an
    // empty row is not kept.
    void push(int row, const QStringList &cells);
    bool isEmpty() const { return m_rides.isEmpty(); }
    int count() const { return int(m_rides.size()); }
    void clear() { m_rides.clear(); }

    // Puts the last deleted ride back into the log: into its row, the
    // rides from there on moving down (at the end when the log is shorter
    // now); into the one data row when that is the only one and empty.
    // The ride's row, or -1 when there is nothing to bring back.
    int restoreLast(StringTable &log);

private:
    struct Ride
    {
        int row;
        QStringList cells;
    };
    QList<Ride> m_rides;
};
