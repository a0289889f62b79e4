#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class StringTable;

// The waypoint list is column 0 of a one-column table that never has
// fewer than one row: the empty list is one row with empty text.
//
// Its file holds one name per line in Windows-1250, CR LF after every
// line; reading also takes a lone LF or CR, a final line end does not
// make another entry, and a NUL byte ends the text.

// The names a waypoint list file holds. *whole is set false when a NUL
// byte ended the text before the end of the file.
QStringList waypointNames(QByteArrayView file, bool *whole = nullptr);
// The bytes of a waypoint list file. Throws AppError when a name holds a
// character that Windows-1250 cannot.
QByteArray waypointFileBytes(const QStringList &names);

// Replaces the whole list by the file's lines. Throws
// AppError("Cannot open file <path>") and leaves the list as it was when
// the file cannot be read. A file with a NUL byte gives the names before
// it, and then an AppError says that the rest was not read, so that the
// caller can keep the file before the shorter list is written over it.
void LoadWaypointFile(StringTable &list, const QString &path);
// Writes the list whole and atomically. Throws AppError("Cannot create
// file <path>") (or "Unable to write to <path>" when the disk fails).
void SaveWaypointFile(const StringTable &list, const QString &path);

// Waypoints of a course are separated by " - ".
inline constexpr QStringView kCourseSeparator = u" - ";
// "Brno - Tišnov" gives "Brno", "Tišnov". A hyphen without both spaces
// does not separate; spaces beside a separator stay in the names; an
// ending separator gives no empty last entry.
QStringList SplitCourse(const QString &course);
QString JoinCourse(const QStringList &waypoints);

// True when an entry equals the name ignoring case, as the user's locale
// compares texts.
bool HasWaypoint(const StringTable &list, const QString &name);
// Adds a name: into the single empty row of the empty list, otherwise as
// a new last row. Returns that row, or -1 (list unchanged) when an entry
// equals the name ignoring case.
int AddWaypoint(StringTable &list, const QString &name);
// Removes a row; the only row is emptied instead.
void DeleteWaypoint(StringTable &list, int row);
