#pragma once
#include "ImportRegister.h"
#include "ImportRules.h"
#include "RideArchive.h"

#include <QList>
#include <QString>
#include <QTimeZone>

#include <functional>
#include <memory>

class QThreadPool;

// Reading what the rider picked for an import: a ride file, a `.gz`, an
// archive of any number of them. Files the register knows are listed
// from it (one hash, no parsing); the others are read.
namespace GpsImport {

// A ride listed before its archive's list of activities came: the list's
// name, sport and gear for the row of that member.
struct Amendment
{
    QString source;
    QString member;
    ListedActivity activity;
};

// What the reading of one picked file hands over, a piece at a time.
struct SourcePiece
{
    QString source;
    QList<ImportRow> rows;
    QList<Amendment> amendments;
    qint64 bytesRead = 0;  // of the picked file, so far (grows piece by piece)
    bool finished = false; // the last piece of this file
    // For the register, with the last piece: the picked file's hash and size
    // when it is an archive (the hash is taken only when an archive of its
    // size is in the register), and the hashes of the ride files in it.
    bool archive = false;
    QByteArray archiveHash;
    qint64 archiveBytes = 0;
    QList<QByteArray> memberHashes;
};

struct SourceReading
{
    QString path;
    QTimeZone zone;
    std::shared_ptr<const ImportRegister> knownFiles;
    std::shared_ptr<StopFlag> stop;
    // Called from worker threads, pieces of one file in order, the
    // finished piece last.
    std::function<void(SourcePiece &&piece)> deliver;
    // Members of an archive are parsed here beside the reading of the
    // archive; nullptr parses them in the reading thread.
    QThreadPool *parsers = nullptr;
    ArchiveLimits limits;
};

// Reads one picked file (in the calling thread, members of an archive
// parsed in `parsers`), delivering its rows as they are found.
void readSource(const SourceReading &reading);

// The rows of a file the register knows, unticked, each with the day it
// was imported among its remarks.
QList<ImportRow> knownRows(const RegisteredFile &file, const QString &shownName);
inline constexpr char16_t kRemarkImported[] = u"již importováno %1";
inline constexpr char16_t kRemarkNotAdded[] = u"tehdy nepřidána";
inline constexpr char16_t kRemarkGoneFromLog[] = u"v deníku už není";

// The activity list's name, sport and gear given to a ride's row: a sport
// other than cycling unticks it.
void applyListedActivity(ImportRow &row, const ListedActivity &activity);

// A name from a device or a list as the ride log can hold it: characters
// Windows-1250 lacks become their letter without the accent where there
// is one, and go otherwise.
QString encodableName(const QString &name);

} // namespace GpsImport
