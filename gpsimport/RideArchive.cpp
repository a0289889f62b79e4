#include "RideArchive.h"
#include "ArchiveEntryStream.h"

#include <archive.h>
#include <archive_entry.h>

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QStringDecoder>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace GpsImport {

namespace {

// The picked file is read in blocks of this size; the archives within it
// get the blocks of their outer member as libarchive unpacks them.
constexpr qsizetype kReadBlockBytes = 64 * 1024;
constexpr qint64 kProgressStepBytes = 256 * 1024;
constexpr char16_t kSeparator[] = u" › ";

enum class Kind { None, Gzip, Zip };

// A gzip stream, or a zip archive (a local file header, the end of an
// empty archive, or the marker a split archive starts with).
Kind kindOf(QByteArrayView head)
{
    if (head.size() >= 2 && uchar(head[0]) == 0x1f && uchar(head[1]) == 0x8b)
        return Kind::Gzip;
    if (head.size() >= 4 && head[0] == 'P' && head[1] == 'K'
        && ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6) || (head[2] == 7 && head[3] == 8)))
        return Kind::Zip;
    return Kind::None;
}

bool isUtf8(const char *bytes, QString &text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8(QByteArrayView(bytes));
    return !utf8.hasError() && !text.contains(QChar::ReplacementCharacter);
}

// A member's name as the rider reads it. Zips written by old tools on a
// Czech Windows hold names in the DOS code page 852 without saying so;
// bytes that are not UTF-8 are read as that. A name libarchive cannot
// give at all (marked as UTF-8 and not UTF-8) is shown by its place.
QString readableName(struct archive_entry *entry, qint64 place)
{
    QString text;
    if (const char *utf8 = archive_entry_pathname_utf8(entry); utf8 && isUtf8(utf8, text))
        return text;
    const char *raw = archive_entry_pathname(entry);
    if (!raw || !*raw)
        return QStringLiteral("(nečitelný název, soubor č. %1)").arg(place);
    if (isUtf8(raw, text))
        return text;
    QStringDecoder dos("IBM852");
    return dos.isValid() ? dos(QByteArrayView(raw)) : QString::fromLatin1(raw);
}

QStringList nameParts(QStringView name)
{
    QStringList parts;
    for (const QStringView part : name.tokenize(u'/'))
        for (const QStringView piece : part.tokenize(u'\\'))
            parts.append(piece.toString());
    return parts;
}

// A name that would land outside the folder the archive were unpacked in.
bool isOutside(const QString &name)
{
    if (name.startsWith(u'/') || name.startsWith(u'\\')
        || (name.size() >= 2 && name.at(1) == u':' && name.at(0).isLetter()))
        return true;
    return nameParts(name).contains(QStringLiteral(".."));
}

// Planned routes of a bulk export, not rides: "routes/…" at any level.
bool isPlannedRoute(const QString &name)
{
    QStringList parts = nameParts(name);
    parts.removeLast();
    return parts.contains(QStringLiteral("routes"), Qt::CaseInsensitive);
}

// Whether a zip member is packed in a way whose unpacking takes a fixed,
// small memory: stored, deflated or bzip2. The others (LZMA, XZ, Zstandard,
// PPMd) size their memory by what the member's header asks, up to GiBs.
// libarchive names the way of the member it is on in the format's name
// ("ZIP 2.0 (deflation)").
bool hasBoundedUnpacking(struct archive *reader)
{
    const QLatin1StringView format(archive_format_name(reader));
    return format.endsWith(QLatin1StringView("(uncompressed)")) || format.endsWith(QLatin1StringView("(deflation)"))
        || format.endsWith(QLatin1StringView("(bzip)"));
}

QString withoutGz(const QString &name)
{
    return name.endsWith(QStringLiteral(".gz"), Qt::CaseInsensitive) ? name.chopped(3) : name;
}

// A `.gz` member handed over packed: named as its file.
ArchiveMember packedMember(ArchiveMember member)
{
    member.member = withoutGz(member.member);
    member.packed = true;
    return member;
}

QString joined(const QString &outer, const QString &inner)
{
    return outer.isEmpty() ? inner : outer + QString::fromUtf16(kSeparator) + inner;
}

struct ReaderFree
{
    void operator()(struct archive *a) const { archive_read_free(a); }
};

class Walk;

// One archive being read: the picked file, or a member of another one.
struct Level
{
    Walk *walk = nullptr;
    std::unique_ptr<struct archive, ReaderFree> reader;
    Kind kind = Kind::None;
    int depth = 1;
    ArchiveMember self;  // the archive itself, for the rows about it as a whole
    QString pathPrefix;  // what its members' paths start with
    QString folder;      // its members' folder
    QString gzMember;    // the one member of a gzip stream
    // Where its packed bytes come from: the picked file, or the member of
    // the archive around it.
    QIODevice *device = nullptr;
    qint64 origin = 0; // where in the device the archive starts
    QByteArray buffer;
    EntryStream *outer = nullptr;
    // Why the packed bytes stopped coming (a limit or damage of the outer
    // member, a stop, the file unreadable), once they did.
    QString upstreamFailure;
    bool upstreamReported = false; // a row already says it
    bool lastRowSaysDamage = false; // the last row tells why the archive cannot go on
    QSet<QString> names;
    qint64 entries = 0;
};

class Walk
{
public:
    Walk(const ArchiveCallbacks &callbacks, const StopFlag &stop, const ArchiveLimits &limits)
        : m_callbacks(callbacks), m_stop(stop), m_limits(limits)
    {
    }

    QString readTop(QIODevice &in, const QString &name);

private:
    bool stopped() const { return m_stop.load(std::memory_order_relaxed); }
    QString open(Level &level, bool streamOnly);
    QString readLevel(Level &level, bool top);
    void readEntry(Level &level, struct archive_entry *entry, int status);
    QString entryProblem(Level &level, struct archive_entry *entry, const ArchiveMember &member);
    void readNested(Level &level, EntryStream &stream, const ArchiveMember &member, Kind kind);
    void deliver(Level &level, EntryStream &stream, const ArchiveMember &member);
    void streamFailed(Level &level, const ArchiveMember &member, const EntryStream &stream, bool rowGiven);
    void refuse(const ArchiveMember &member, const QString &reason);
    void reportProgress(qint64 position);

    static la_ssize_t readPacked(struct archive *reader, void *data, const void **buffer);
    static la_int64_t seekPacked(struct archive *reader, void *data, la_int64_t offset, int whence);
    static la_int64_t skipPacked(struct archive *reader, void *data, la_int64_t request);

    const ArchiveCallbacks &m_callbacks;
    const StopFlag &m_stop;
    const ArchiveLimits &m_limits;
    qint64 m_members = 0;
    qint64 m_rows = 0; // members handed on or refused
    bool m_halted = false; // the member count passed its limit
    bool m_started = false; // the picked file's first member was found
    qint64 m_progress = 0;
};

// A libarchive reader on the level's packed bytes: a zip (seekable when
// the picked file is, so that the central directory tells the members),
// or a gzip stream read as one raw member.
QString Walk::open(Level &level, bool streamOnly)
{
    level.reader.reset(archive_read_new());
    struct archive *a = level.reader.get();
    if (level.kind == Kind::Gzip) {
        archive_read_support_filter_gzip(a);
        archive_read_support_format_raw(a);
    } else if (streamOnly || !level.device || level.device->isSequential()) {
        archive_read_support_format_zip_streamable(a);
    } else {
        archive_read_support_format_zip(a);
    }
    archive_read_set_callback_data(a, &level);
    archive_read_set_read_callback(a, &Walk::readPacked);
    if (level.device && !level.device->isSequential()) {
        archive_read_set_seek_callback(a, &Walk::seekPacked);
        archive_read_set_skip_callback(a, &Walk::skipPacked);
    }
    if (archive_read_open1(a) != ARCHIVE_OK)
        return level.upstreamFailure.isEmpty() ? EntryStream::damageReason(archive_error_string(a))
                                               : level.upstreamFailure;
    // Without a valid gzip header no filter takes the bytes, and the raw
    // format would hand them on as they are.
    if (level.kind == Kind::Gzip && archive_filter_count(a) < 2)
        return QStringLiteral("archiv je poškozený");
    return {};
}

QString Walk::readTop(QIODevice &in, const QString &name)
{
    const Kind kind = kindOf(in.peek(4));
    if (kind == Kind::None)
        return QStringLiteral("není to archiv ZIP ani GZIP");
    const qint64 start = in.pos();
    QString problem;
    // A zip whose central directory is damaged is read again member by
    // member from its start.
    for (const bool streamOnly : {false, true}) {
        if (streamOnly && (kind != Kind::Zip || in.isSequential() || !in.seek(start)))
            break;
        Level top;
        top.walk = this;
        top.kind = kind;
        top.device = &in;
        top.origin = start;
        top.self = {name, withoutGz(name), QString(), -1};
        top.pathPrefix = name;
        top.gzMember = withoutGz(name);
        problem = open(top, streamOnly);
        if (problem.isEmpty())
            problem = readLevel(top, true);
        if (problem.isEmpty() || stopped())
            break;
    }
    if (stopped())
        return {};
    if (problem.isEmpty() && m_rows == 0)
        return QStringLiteral("v archivu není žádný soubor");
    if (problem.isEmpty() && m_callbacks.progress && !in.isSequential())
        m_callbacks.progress(in.size());
    return problem;
}

// Reads the level's members one after another. Returns why the picked
// file is no archive when its very first member cannot be read; every
// other problem is a row.
QString Walk::readLevel(Level &level, bool top)
{
    for (bool first = true;; first = false) {
        if (stopped())
            return {};
        struct archive_entry *entry = nullptr;
        int status = archive_read_next_header(level.reader.get(), &entry);
        for (int retries = 0; status == ARCHIVE_RETRY && retries < 3; ++retries)
            status = archive_read_next_header(level.reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return {};
        if (status < ARCHIVE_FAILED || !entry) {
            const bool fromBelow = !level.upstreamFailure.isEmpty();
            QString reason = fromBelow ? level.upstreamFailure
                                       : EntryStream::damageReason(archive_error_string(level.reader.get()));
            if (!fromBelow && archive_read_has_encrypted_entries(level.reader.get()) > 0)
                reason = QStringLiteral("archiv je zašifrovaný");
            if (top && first)
                return reason;
            if (!level.lastRowSaysDamage)
                refuse(level.self, reason);
            level.upstreamReported = level.upstreamReported || fromBelow;
            return {};
        }
        if (top)
            m_started = true;
        readEntry(level, entry, status);
        if (m_halted || stopped())
            return {};
    }
}

void Walk::readEntry(Level &level, struct archive_entry *entry, int status)
{
    ArchiveMember member;
    ++level.entries;
    member.member = level.kind == Kind::Gzip ? level.gzMember : readableName(entry, level.entries);
    member.path = level.kind == Kind::Gzip ? level.self.path : joined(level.pathPrefix, member.member);
    member.folder = level.folder;
    member.declaredBytes = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    level.lastRowSaysDamage = false;
    if (++m_members > m_limits.members) {
        refuse(member, QStringLiteral("víc než %1 souborů v archivu, zbytek nečten")
                           .arg(QLocale(QLocale::Czech).toString(m_limits.members)));
        m_halted = true;
        return;
    }
    if (archive_entry_filetype(entry) == AE_IFDIR || isPlannedRoute(member.member))
        return;
    if (status == ARCHIVE_FAILED) {
        refuse(member, EntryStream::damageReason(archive_error_string(level.reader.get())));
        return;
    }
    if (const QString problem = entryProblem(level, entry, member); !problem.isEmpty()) {
        refuse(member, problem);
        return;
    }
    EntryStream stream(level.reader.get(), m_limits, m_stop, level.upstreamFailure);
    const QByteArrayView head = stream.head(4);
    if (stream.failed())
        streamFailed(level, member, stream, false);
    else if (head.isEmpty())
        refuse(member, QStringLiteral("prázdný soubor"));
    else if (const Kind inner = kindOf(head);
             inner == Kind::Gzip && m_callbacks.gzipPacked && level.kind == Kind::Zip && level.depth < m_limits.depth)
        deliver(level, stream, packedMember(member));
    else if (inner != Kind::None)
        readNested(level, stream, member, inner);
    else
        deliver(level, stream, member);
}

// Why a member is refused before a byte of it is read; empty when it is not.
QString Walk::entryProblem(Level &level, struct archive_entry *entry, const ArchiveMember &member)
{
    if (level.names.contains(member.member))
        return QStringLiteral("stejný název podruhé");
    level.names.insert(member.member);
    if (isOutside(member.member))
        return QStringLiteral("název mimo archiv");
    const auto type = archive_entry_filetype(entry);
    if (type == AE_IFLNK || archive_entry_hardlink(entry))
        return QStringLiteral("odkaz, ne soubor");
    if (type != 0 && type != AE_IFREG)
        return QStringLiteral("není obyčejný soubor");
    if (archive_entry_is_encrypted(entry))
        return QStringLiteral("zašifrováno");
    if (level.kind == Kind::Zip && !hasBoundedUnpacking(level.reader.get()))
        return QStringLiteral("nepodporovaný způsob komprese");
    if (member.declaredBytes == 0)
        return QStringLiteral("prázdný soubor");
    if (member.declaredBytes > m_limits.memberBytes)
        return EntryStream::sizeLimitReason(m_limits.memberBytes);
    return {};
}

// An archive within the archive, read on its member's unpacked bytes. A
// gzip stream is unpacked in place: its file stands where it stood.
void Walk::readNested(Level &level, EntryStream &stream, const ArchiveMember &member, Kind kind)
{
    if (level.depth >= m_limits.depth) {
        refuse(member, QStringLiteral("příliš mnoho archivů v sobě (víc než %1)").arg(m_limits.depth));
        return;
    }
    Level inner;
    inner.walk = this;
    inner.kind = kind;
    inner.depth = level.depth + 1;
    inner.outer = &stream;
    inner.self = member;
    inner.pathPrefix = member.path;
    inner.folder = kind == Kind::Gzip ? level.folder : joined(level.folder, member.member);
    inner.gzMember = withoutGz(member.member);
    if (const QString problem = open(inner, true); !problem.isEmpty()) {
        if (stream.failed())
            streamFailed(level, member, stream, false);
        else
            refuse(member, problem);
        return;
    }
    readLevel(inner, false);
    if (stream.failed())
        streamFailed(level, member, stream, inner.upstreamReported);
}

void Walk::deliver(Level &level, EntryStream &stream, const ArchiveMember &member)
{
    ++m_rows;
    if (m_callbacks.member) {
        EntryDevice content(stream);
        m_callbacks.member(member, content);
    }
    if (stream.failed())
        streamFailed(level, member, stream, false);
}

// A member's bytes stopped coming: its row, unless an inner archive's row
// already says why; and when the cause lies under this level, the rows
// of the levels around it need not say it again.
void Walk::streamFailed(Level &level, const ArchiveMember &member, const EntryStream &stream, bool rowGiven)
{
    if (stopped())
        return;
    if (!rowGiven)
        refuse(member, stream.reason());
    const bool fromBelow = !level.upstreamFailure.isEmpty();
    level.lastRowSaysDamage = stream.damaged() || fromBelow;
    level.upstreamReported = level.upstreamReported || fromBelow;
}

void Walk::refuse(const ArchiveMember &member, const QString &reason)
{
    ++m_rows;
    if (!stopped() && m_callbacks.refused)
        m_callbacks.refused(member, reason);
}

void Walk::reportProgress(qint64 position)
{
    if (!m_started || !m_callbacks.progress
        || (position < m_progress + kProgressStepBytes && position >= m_progress))
        return;
    m_progress = position;
    m_callbacks.progress(position);
}

la_ssize_t Walk::readPacked(struct archive *reader, void *data, const void **buffer)
{
    Level &level = *static_cast<Level *>(data);
    if (level.walk->stopped() || !level.upstreamFailure.isEmpty()) {
        if (level.upstreamFailure.isEmpty())
            level.upstreamFailure = QStringLiteral("čtení zastaveno");
        archive_set_error(reader, ECANCELED, "the packed bytes stopped coming");
        return ARCHIVE_FATAL;
    }
    if (level.outer) {
        const QByteArrayView block = level.outer->ahead();
        if (level.outer->failed()) {
            level.upstreamFailure = level.outer->reason();
            archive_set_error(reader, EIO, "the outer member failed");
            return ARCHIVE_FATAL;
        }
        level.outer->consume(block.size());
        *buffer = block.data();
        return block.size();
    }
    if (level.buffer.isEmpty())
        level.buffer.resize(kReadBlockBytes);
    const qint64 n = level.device->read(level.buffer.data(), kReadBlockBytes);
    if (n < 0) {
        level.upstreamFailure = QStringLiteral("soubor nelze číst (%1)").arg(level.device->errorString());
        archive_set_error(reader, EIO, "the file cannot be read");
        return ARCHIVE_FATAL;
    }
    level.walk->reportProgress(level.device->pos());
    *buffer = level.buffer.constData();
    return n;
}

la_int64_t Walk::seekPacked(struct archive *, void *data, la_int64_t offset, int whence)
{
    const Level &level = *static_cast<Level *>(data);
    QIODevice &device = *level.device;
    const qint64 base = whence == SEEK_SET ? level.origin : whence == SEEK_CUR ? device.pos() : device.size();
    const qint64 target = base + offset;
    if (target < level.origin || !device.seek(target))
        return ARCHIVE_FATAL;
    return target - level.origin;
}

la_int64_t Walk::skipPacked(struct archive *, void *data, la_int64_t request)
{
    QIODevice &device = *static_cast<Level *>(data)->device;
    const qint64 from = device.pos();
    const qint64 to = std::min(device.size(), from + std::max<qint64>(request, 0));
    return device.seek(to) ? to - from : 0;
}

} // namespace

bool isArchive(QIODevice &in)
{
    return kindOf(in.peek(4)) != Kind::None;
}

bool isArchiveFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && isArchive(file);
}

QString readArchive(QIODevice &in, const QString &name, const ArchiveCallbacks &callbacks, const StopFlag &stop,
                    const ArchiveLimits &limits)
{
    return Walk(callbacks, stop, limits).readTop(in, name);
}

QString readArchive(const QString &path, const ArchiveCallbacks &callbacks, const StopFlag &stop,
                    const ArchiveLimits &limits)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("soubor neexistuje");
    if (info.isDir())
        return QStringLiteral("je to složka, ne soubor");
    // A FIFO, a socket or a device would make the reading wait on it.
    if (!info.isFile())
        return QStringLiteral("není to obyčejný soubor");
    if (info.size() == 0)
        return QStringLiteral("soubor je prázdný");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.error() == QFileDevice::PermissionsError
            ? QStringLiteral("soubor nelze číst: chybí oprávnění")
            : QStringLiteral("soubor nelze otevřít (%1)").arg(file.errorString());
    return readArchive(file, info.fileName(), callbacks, stop, limits);
}

} // namespace GpsImport
