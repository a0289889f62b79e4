#pragma once
#include "RideArithmetic.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

class StringTable;

// The ride log's table as the main window has it before a file is read:
// seven columns with their headings in a heading row, one empty ride, row
// height 18, the date column 62 pixels wide, no automatic saving.
void setUpRideLogTable(StringTable &log);

// Texts that a ride log column of the default width shows whole: a date
// and a distance as the user's locale writes them.
QStringList rideLogWidthSamples();

// Reads the ride log file in a thread of its own while the toolkit and the
// main window start, into a table set up as the window's own. The window
// takes the table when it is shown; until then nothing else touches it.
class RideLogPrefetch
{
public:
    explicit RideLogPrefetch(const QString &path);
    ~RideLogPrefetch();
    RideLogPrefetch(const RideLogPrefetch &) = delete;
    RideLogPrefetch &operator=(const RideLogPrefetch &) = delete;

    const QString &path() const { return m_path; }
    // Waits for the reading to end. The table then holds what the file
    // gave, as loading it into the window's table would have; error() is
    // the text of the failure that ended or marred the reading, if any.
    StringTable &table();
    const QString &error();
    // The totals of the table as read, worked out in the same thread.
    const RideArithmetic::Totals &totals();

private:
    void wait();

    QString m_path;
    std::unique_ptr<StringTable> m_table;
    QString m_error;
    RideArithmetic::Totals m_totals;
    std::thread m_thread;
};

// A new log: its only ride has no date yet.
bool isNewRideLog(const StringTable &log);

// Appends rides (cells in the ride log's columns) in their order; the
// only row of a new log, still without a date, is filled first. The row
// of the last ride, or -1 when there was none.
int appendRides(StringTable &log, const QList<QStringList> &rides);

// A row that holds no ride: nothing in it but, perhaps, the empty time
// editor's ":" and the bike a new ride takes from the ride before.
bool isEmptyRide(const StringTable &log, int row);

// The heading of the bike column.
inline constexpr char16_t kBikeHeading[] = u"Kolo";
// True when the log has the column of the rides' bikes.
bool hasBikeColumn(const StringTable &log);
// Gives the log the column of the rides' bikes, with its heading, when it
// has none yet.
void addBikeColumn(StringTable &log);
// The heading of the column of kept files, and the same for it (the bike
// column comes first, empty).
inline constexpr char16_t kKeptFileHeading[] = u"Záznam";
bool hasKeptFileColumn(const StringTable &log);
void addKeptFileColumn(StringTable &log);
// Gives every ride of bike `from` (its name with any letter case) the
// name `to`, as one change of the table. The number of rides renamed.
int renameBikeInRides(StringTable &log, const QString &from, const QString &to);
