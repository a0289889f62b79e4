#pragma once
#include "RecordedRide.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

// Archives the rider brings their history in: a `.gz` of one ride file, a
// `.zip` (an online service's bulk export, a vendor's export), zips in
// zips. They are read as streams with libarchive, never unpacked to disk;
// the files in them reach the caller one after another as devices of their
// unpacked bytes.
namespace GpsImport {

// What an archive may make the program do before a member is refused.
// The ratio allows 1 MiB more than `ratio` times the packed bytes read for
// the member, so that a small file that packs very well is not taken for
// a bomb. Past the member count the reading ends with one row saying so.
struct ArchiveLimits
{
    qint64 memberBytes = qint64(1) << 30; // a member's unpacked size
    qint64 ratio = 200;                   // unpacked bytes per packed byte
    int depth = 4;                        // archives within archives (the picked file is depth 1)
    qint64 members = 100000;              // members of all levels together
};

// A file in an archive. `path` is what the rider sees: the archive's own
// name, then each member's name inwards, " › " between them
// ("export.zip › activities/1.fit.gz"); names that are not UTF-8 are shown
// as well as they can be read. `member` is the innermost member's name as
// the archive holds it ("activities/1.fit.gz"; for a `.gz`, its name
// without ".gz"), `folder` the path of the archive that holds it, inwards
// from the picked file ("" at the top, "inner.zip" within a zip in it).
struct ArchiveMember
{
    QString path;
    QString member;
    QString folder;
    qint64 declaredBytes = -1; // the unpacked size the archive declares; -1 when it does not
    // The content is a gzip stream still packed (see ArchiveCallbacks::gzipPacked).
    bool packed = false;
};

struct ArchiveCallbacks
{
    // A file of the archive (a `.gz` within it already unpacked, an
    // archive within it opened and its members given instead). `content`
    // is a sequential device of its unpacked bytes; the callback reads as
    // much of it as it needs, or nothing (the rest is skipped). A read that
    // passes a limit, or finds the archive damaged, ends in an error of the
    // device; the member is then reported to `refused` after the callback
    // returns.
    std::function<void(const ArchiveMember &member, QIODevice &content)> member;
    // A member refused or unreadable, with the reason in Czech ("odkaz,
    // ne soubor", "název mimo archiv", "prázdný soubor", "zašifrováno",
    // "stejný název podruhé", "rozbaleno by mělo víc než 1 GiB", "archiv je
    // poškozený", …). The rest of the archive goes on when it can.
    std::function<void(const ArchiveMember &member, const QString &reason)> refused;
    // Bytes of the picked file consumed so far (for a progress bar); called
    // now and then, not for every block.
    std::function<void(qint64 packedBytes)> progress;
    // A `.gz` member of a zip is handed over as it is packed (`packed`
    // set, `member` without ".gz"), for the caller to unpack elsewhere
    // (unpackMember) — beside the reading, in other threads — instead of
    // in the reading thread.
    bool gzipPacked = false;
};

// True when the reading of a member's content ended in an error (a limit
// passed, damaged data) rather than at its end.
bool memberReadFailed(const QIODevice &content);

// The bytes of a packed member (a gzip stream, one or more members), held
// to the limits: at most `limits.memberBytes`, and at most `limits.ratio`
// times the packed bytes plus the slack every member gets. Empty with the
// reason in Czech when it is damaged or passes a limit.
QByteArray unpackMember(QByteArrayView packed, const ArchiveLimits &limits, QString *problem);

// Whether the file's first bytes are a gzip stream or a zip archive (the
// content decides, not the name).
bool isArchive(QIODevice &in);
bool isArchiveFile(const QString &path);

// Reads the archive at `path` member by member; members under `routes/`
// (planned routes, not rides) and folders are passed over. Returns the
// reason in Czech when the picked file itself cannot be read as an
// archive (damaged, truncated at the start, encrypted as a whole) or
// holds nothing else ("v archivu není žádný soubor"), else an empty
// string: problems further in go to `refused`. Stops soon after `stop` is
// set (within a block of 64 to 256 KiB of any level), telling nothing
// more. Nothing is written anywhere; memory does not grow with a
// member's size, only with the names and the zip's directory.
QString readArchive(const QString &path, const ArchiveCallbacks &callbacks, const StopFlag &stop,
                    const ArchiveLimits &limits = {});
// The same for an archive already open in `in` (read from its current
// position; a device that can seek lets a zip's central directory be
// used), `name` being the file's name the paths start with.
QString readArchive(QIODevice &in, const QString &name, const ArchiveCallbacks &callbacks, const StopFlag &stop,
                    const ArchiveLimits &limits = {});

// The list of activities a bulk export carries (`activities.csv`): for
// each file it names, the activity's name, type and gear. Columns are
// found by their headings, in English or Czech (and German, Spanish,
// French where known); quoted fields may hold commas, quotes and line
// breaks (RFC 4180; CR LF or LF; UTF-8 with or without a byte order
// mark). The first of two columns with one heading counts; rows without
// a file name are left out; a field is kept to its first 4 KiB, so that
// memory does not grow with a field's length. Keys are the file names as the list gives them, with '/' and
// without a leading "./" ("activities/123.fit.gz").
struct ListedActivity
{
    QString name;
    QString type;  // as the list words it ("Ride", "Run", "Jízda na kole")
    QString gear;  // the bike's name; may be empty
};
struct ActivityList
{
    QHash<QString, ListedActivity> byFile;
    // The keys of `byFile` by their folded form (lower case, without
    // ".gz"), for listedActivity.
    QHash<QString, QString> keyByFolded;
    QString problem; // why the list gives nothing (no file column), in Czech; empty when read
};
ActivityList readActivityList(QIODevice &in, const StopFlag &stop);

// The listed activity of a member `member` of the archive `folder` holds,
// when the list of that archive names it: the names match with or
// without ".gz", in any letter case.
const ListedActivity *listedActivity(const ActivityList &list, const QString &member);

} // namespace GpsImport
