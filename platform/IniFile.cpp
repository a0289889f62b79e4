#include "IniFile.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <array>
#include <climits>
#include <cstring>
#include <ctime>
#include <list>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace IniFile {

namespace {

const QByteArray crLf = QByteArrayLiteral("\r\n");

// One line of the file: its own bytes and line end, kept as they were
// so that a write puts back every line it does not change, and what the
// parser made of it. The bytes of a line read from a file point into the
// file's bytes (see Parsed); a line the layer writes or changes holds its
// own.
struct Line
{
    enum Kind { Other, Header, Key };

    QByteArray body;        // the line without its end
    QByteArrayView end;     // CR LF, LF, CR, or nothing at the end of the file
    Kind kind = Other;
    bool blank = true;      // nothing but blanks
    QString name;           // section or key name, trimmed
    qsizetype equals = -1;  // where the first "=" of a key line is
};

using Lines = QList<Line>;

// A file's bytes and its lines. The lines' bytes are no copies: they point
// into `bytes`, so a huge file is held once, and `bytes` must outlive every
// copy of the lines (hold the pointer while using them).
struct Parsed
{
    QByteArray bytes;
    Lines lines;
};
using ParsedPtr = std::shared_ptr<const Parsed>;

// Blanks as the decoded text has them: Windows-1250 has one byte per
// character, so a byte is a blank when its character is one (the no-break
// space too), and trimming the bytes trims the text.
bool isBlank(char byte)
{
    static const std::array<bool, 256> blanks = [] {
        std::array<bool, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[size_t(b)] = AnsiFile::decodeByte(uchar(b)).isSpace();
        return t;
    }();
    return blanks[uchar(byte)];
}

QByteArrayView trimmed(QByteArrayView bytes)
{
    qsizetype from = 0;
    qsizetype to = bytes.size();
    while (from < to && isBlank(bytes[from]))
        ++from;
    while (to > from && isBlank(bytes[to - 1]))
        --to;
    return bytes.sliced(from, to - from);
}

// "[", "]", ";" and "=" are the same bytes in Windows-1250 as in ASCII and
// no other byte decodes to them, so a line is classified on its bytes and
// only the names are decoded. A "key" above the first header belongs to no
// section, so no lookup ever meets it.
void classify(Line &line)
{
    const QByteArrayView body(line.body);
    const QByteArrayView text = trimmed(body);
    line.blank = text.isEmpty();
    if (text.startsWith('[')) {
        // "[name" without "]" is no header: it neither opens a section nor
        // is a key of the one it stands in.
        const qsizetype close = text.indexOf(']', 1);
        if (close > 0) {
            line.kind = Line::Header;
            line.name = AnsiFile::decode(trimmed(text.sliced(1, close - 1)));
        }
        return;
    }
    if (text.startsWith(';'))
        return;
    const qsizetype equals = body.indexOf('=');
    if (equals < 0)
        return;
    const QByteArrayView name = trimmed(body.first(equals));
    if (name.isEmpty())
        return;
    line.kind = Line::Key;
    line.name = AnsiFile::decode(name);
    line.equals = equals;
}

// Calls `f(start, stop, next)` for each line: its body from start to stop,
// its end from stop to next.
template<class F>
void forEachLine(QByteArrayView bytes, F f)
{
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    // The next CR and the next LF, each looked for with memchr (a line of
    // 100 MB is one quick search) and only again once passed.
    qsizetype cr = -1;
    qsizetype lf = -1;
    const auto find = [&](char c, qsizetype &at, qsizetype from) {
        if (at < from) {
            const void *found = std::memchr(data + from, c, size_t(size - from));
            at = found ? static_cast<const char *>(found) - data : size;
        }
        return at;
    };
    for (qsizetype start = 0; start < size;) {
        const qsizetype stop = qMin(find('\r', cr, start), find('\n', lf, start));
        qsizetype next = stop;
        if (next < size)
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
        f(start, stop, next);
        start = next;
    }
}

ParsedPtr parse(QByteArray bytes)
{
    auto parsed = std::make_shared<Parsed>();
    parsed->bytes = std::move(bytes);
    const char *data = parsed->bytes.constData();
    Lines &lines = parsed->lines;
    // Counted first, so that the list of a large file is not moved as it grows.
    qsizetype count = 0;
    forEachLine(parsed->bytes, [&count](qsizetype, qsizetype, qsizetype) { ++count; });
    lines.reserve(count);
    forEachLine(parsed->bytes, [&](qsizetype start, qsizetype stop, qsizetype next) {
        Line &line = lines.emplace_back();
        line.body = QByteArray::fromRawData(data + start, stop - start);
        line.end = QByteArrayView(data + stop, next - stop);
        classify(line);
    });
    return parsed;
}

// What tells one state of a file from another: which file stands at the
// path (an atomic replace puts another one there), its size, and its
// change time, which every write, rename, permission change or setting of
// the modification time moves on to the present.
struct Stamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool sameFile(const Stamp &o) const { return device == o.device && inode == o.inode; }
    bool operator==(const Stamp &o) const
    {
        const auto same = [](const timespec &a, const timespec &b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return sameFile(o) && size == o.size && same(modified, o.modified) && same(changed, o.changed);
    }
};

// A regular file's stamp; none for anything else.
std::optional<Stamp> stampOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// The file system stamps a change with a clock that moves in ticks (a few
// milliseconds, two seconds on FAT), so a second change within the tick of
// the first can leave the stamp as it was. A file changed that recently is
// therefore read again each time; one that has stood still for longer
// shows every later change in its stamp.
bool settled(const Stamp &stamp)
{
    constexpr time_t kTick = 2;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return stamp.changed.tv_sec + kTick < now.tv_sec;
}

// The files read last, kept parsed while their stamps stay the same, so
// that reading one key after another does not read and parse a large file
// each time. Whatever changes a file (this layer or another program) gives
// it another stamp, and the next call reads it again: callers see what
// reading the file each time would show. The program uses a few INI files
// (store.ini, trasy.ini); a few more are kept, each once.
class Cache
{
public:
    ParsedPtr find(const QString &path, const Stamp &stamp)
    {
        const QMutexLocker lock(&m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->path != path)
                continue;
            if (!(it->stamp == stamp)) {
                m_entries.erase(it);
                return nullptr;
            }
            m_entries.splice(m_entries.begin(), m_entries, it);
            return it->parsed;
        }
        return nullptr;
    }

    void keep(const QString &path, const Stamp &stamp, const ParsedPtr &parsed)
    {
        const QMutexLocker lock(&m_mutex);
        // One entry per file, also when another path leads to it.
        m_entries.remove_if([&](const Entry &e) { return e.path == path || e.stamp.sameFile(stamp); });
        m_entries.push_front({path, stamp, parsed});
        if (m_entries.size() > kFiles)
            m_entries.pop_back();
    }

    void drop(const QString &path)
    {
        const QMutexLocker lock(&m_mutex);
        m_entries.remove_if([&](const Entry &e) { return e.path == path; });
    }

private:
    static constexpr size_t kFiles = 4;
    struct Entry
    {
        QString path;
        Stamp stamp;
        ParsedPtr parsed;
    };
    QMutex m_mutex;
    std::list<Entry> m_entries;
};

Cache &cache()
{
    static Cache c;
    return c;
}

const ParsedPtr &noLines()
{
    static const ParsedPtr none = std::make_shared<Parsed>();
    return none;
}

// The file's lines, from the cache when the file has not changed since it
// was read. The stamp is taken before the bytes are read: a change in
// between gives the file another stamp, so the next call reads it again.
// Throws what AnsiFile::readBytes throws.
ParsedPtr load(const QString &path)
{
    const std::optional<Stamp> stamp = stampOf(path);
    if (stamp) {
        if (ParsedPtr parsed = cache().find(path, *stamp))
            return parsed;
    }
    ParsedPtr parsed = parse(AnsiFile::readBytes(path));
    if (stamp && settled(*stamp))
        cache().keep(path, *stamp, parsed);
    return parsed;
}

AppError unableToWrite(const QString &path)
{
    return AppError(QStringLiteral("Unable to write to %1").arg(path));
}

// For reading, a file that is missing, unreadable or no regular file at
// all is simply empty: settings then take their defaults.
ParsedPtr linesToRead(const QString &path)
{
    try {
        return load(path);
    } catch (const AppError &) {
        return noLines();
    }
}

// For writing, only a missing file is empty. Whatever stands at the path
// and cannot be read (a folder, a file without read access, a dangling
// link) is never replaced: its contents would be lost.
ParsedPtr linesToChange(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return noLines();
    try {
        return load(path);
    } catch (const AppError &) {
        throw unableToWrite(path);
    }
}

// The file is written anew; what was kept of it goes, failure or not.
void writeLines(const QString &path, const Lines &lines)
{
    cache().drop(path);
    qsizetype size = 0;
    for (const Line &line : lines)
        size += line.body.size() + line.end.size();
    QByteArray bytes;
    bytes.reserve(size);
    for (const Line &line : lines) {
        bytes += line.body;
        bytes += line.end;
    }
    try {
        AtomicWrite::replaceFile(path, bytes);
    } catch (const AppError &) {
        throw unableToWrite(path);
    }
}

bool sameName(QStringView a, QStringView b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

qsizetype findSection(const Lines &lines, QStringView section)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Header && sameName(lines[i].name, section))
            return i;
    return -1;
}

// The line after the last line of the section that starts at `header`.
qsizetype sectionEnd(const Lines &lines, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::Header)
        ++i;
    return i;
}

// The first key of the name in the first section of the name, or -1.
qsizetype findKey(const Lines &lines, QStringView section, QStringView key)
{
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return -1;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (lines[i].kind == Line::Key && sameName(lines[i].name, key))
            return i;
    return -1;
}

// Lines the layer writes itself end in CR LF.
Line newLine(Line::Kind kind, const QString &name, const QByteArray &body, qsizetype equals = -1)
{
    return Line{body, crLf, kind, false, name, equals};
}

Line keyLine(const QString &key, const QByteArray &value)
{
    const QByteArray name = AnsiFile::encode(key);
    return newLine(Line::Key, key, name + '=' + value, name.size());
}

// A line that ends the file gets a line end before a line goes after it.
void endLine(Line &line)
{
    if (line.end.isEmpty())
        line.end = crLf;
}

void setValue(Lines &lines, const QString &section, const QString &key, const QByteArray &value)
{
    const qsizetype header = findSection(lines, section);
    if (header < 0) {
        if (!lines.isEmpty())
            endLine(lines.last());
        lines.append(newLine(Line::Header, section, '[' + AnsiFile::encode(section) + ']'));
        lines.append(keyLine(key, value));
        return;
    }
    const qsizetype keyAt = findKey(lines, section, key);
    if (keyAt >= 0) {
        // The key keeps its spelling and indentation and its line end.
        Line &line = lines[keyAt];
        line.body.truncate(line.equals);
        line.body += '=';
        line.body += value;
        return;
    }
    // Blank lines at the end of a section keep it apart from the next one:
    // the new key goes before them.
    qsizetype last = header;
    for (qsizetype i = header + 1, end = sectionEnd(lines, header); i < end; ++i)
        if (!lines[i].blank)
            last = i;
    endLine(lines[last]);
    lines.insert(last + 1, keyLine(key, value));
}

bool isUsableKeyName(QStringView key)
{
    const QStringView trimmed = key.trimmed();
    return !trimmed.isEmpty() && !trimmed.startsWith(u'[') && !trimmed.startsWith(u';')
        && !key.contains(u'=') && !key.contains(u'\r') && !key.contains(u'\n');
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

QStringList sections(const QString &path)
{
    // Names match as sameName matches them: case folding one character at
    // a time, which is what a case-insensitive comparison does.
    const ParsedPtr parsed = linesToRead(path);
    QStringList names;
    QSet<QString> seen;
    for (const Line &line : parsed->lines) {
        if (line.kind != Line::Header || line.name.isEmpty())
            continue;
        const qsizetype before = seen.size();
        seen.insert(line.name.toCaseFolded());
        if (seen.size() > before)
            names.append(line.name);
    }
    return names;
}

QString readString(const QString &path, QStringView section, QStringView key, const QString &fallback)
{
    const ParsedPtr parsed = linesToRead(path);
    const Lines &lines = parsed->lines;
    const qsizetype at = findKey(lines, section, key);
    if (at < 0)
        return fallback;
    const Line &line = lines[at];
    return AnsiFile::decode(QByteArrayView(line.body).sliced(line.equals + 1)).trimmed();
}

bool hasKeys(const QString &path, QStringView section)
{
    const ParsedPtr parsed = linesToRead(path);
    const Lines &lines = parsed->lines;
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return false;
    for (qsizetype i = header + 1, end = sectionEnd(lines, header); i < end; ++i)
        if (lines[i].kind == Line::Key)
            return true;
    return false;
}

int parseInteger(QStringView text, int fallback)
{
    const QStringView t = text.trimmed();
    qint64 value = 0;
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        for (QChar c : t.sliced(2)) {
            const int digit = hexDigit(c.unicode());
            if (digit < 0)
                return fallback;
            value = value * 16 + digit;
            if (value > INT_MAX)
                return fallback;
        }
        return int(value);
    }
    QStringView digits = t;
    const bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+'))
        digits = digits.sliced(1);
    if (digits.isEmpty())
        return fallback;
    const qint64 limit = negative ? qint64(INT_MAX) + 1 : qint64(INT_MAX);
    for (QChar c : digits) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return fallback;
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            return fallback;
    }
    return int(negative ? -value : value);
}

int readInteger(const QString &path, QStringView section, QStringView key, int fallback)
{
    return parseInteger(readString(path, section, key), fallback);
}

void writeString(const QString &path, QStringView section, QStringView key, const QString &value)
{
    writeStrings(path, section, Entries{{key.toString(), value}});
}

namespace {
void checkNames(QStringView section, const Entries &entries)
{
    // Callers check names with messages of their own; this only keeps a
    // name that could not be found again out of the file.
    if (!isUsableSectionName(section))
        throw AppError(QStringLiteral("Invalid section name"));
    for (const auto &entry : entries)
        if (!isUsableKeyName(entry.first))
            throw AppError(QStringLiteral("Invalid key name"));
}

void setValues(Lines &lines, QStringView section, const Entries &entries)
{
    const QString sectionName = section.trimmed().toString();
    for (const auto &[key, value] : entries) {
        QString flat = value;
        flat.replace(u'\r', u' ').replace(u'\n', u' ');
        setValue(lines, sectionName, key.trimmed(), AnsiFile::encode(flat));
    }
}

// The lines without the sections of the name; false when there was none.
bool eraseLines(Lines &lines, QStringView section)
{
    Lines kept;
    kept.reserve(lines.size());
    bool inErased = false;
    bool erased = false;
    for (const Line &line : lines) {
        if (line.kind == Line::Header)
            inErased = sameName(line.name, section);
        erased = erased || inErased;
        if (!inErased)
            kept.append(line);
    }
    if (erased)
        lines = std::move(kept);
    return erased;
}
} // namespace

void writeStrings(const QString &path, QStringView section, const Entries &entries)
{
    checkNames(section, entries);
    if (entries.isEmpty())
        return;
    const ParsedPtr parsed = linesToChange(path);
    Lines lines = parsed->lines;
    setValues(lines, section, entries);
    writeLines(path, lines);
}

void eraseSection(const QString &path, QStringView section)
{
    const ParsedPtr parsed = linesToChange(path);
    Lines lines = parsed->lines;
    if (eraseLines(lines, section))
        writeLines(path, lines);
}

void change(const QString &path, const QList<SectionChange> &changes)
{
    for (const SectionChange &c : changes)
        checkNames(c.section, c.entries);
    const ParsedPtr parsed = linesToChange(path);
    Lines lines = parsed->lines;
    bool changed = false;
    for (const SectionChange &c : changes) {
        if (c.erase) {
            changed = eraseLines(lines, c.section) || changed;
        } else if (!c.entries.isEmpty()) {
            setValues(lines, c.section, c.entries);
            changed = true;
        }
    }
    if (changed)
        writeLines(path, lines);
}

QList<Section> readAll(const QString &path, bool *unreadable, const std::function<bool(const QString &)> &wanted)
{
    ParsedPtr parsed;
    try {
        parsed = load(path);
        if (unreadable)
            *unreadable = false;
    } catch (const AppError &) {
        if (unreadable)
            *unreadable = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
        return {};
    }
    QList<Section> sections;
    bool reading = false;
    for (const Line &line : parsed->lines) {
        if (line.kind == Line::Header) {
            sections.append({line.name, {}});
            reading = !wanted || wanted(line.name);
        } else if (line.kind == Line::Key && reading) {
            Entries &entries = sections.last().entries;
            const QString value = AnsiFile::decode(QByteArrayView(line.body).sliced(line.equals + 1)).trimmed();
            entries.append({line.name, value});
        }
    }
    return sections;
}

bool isUsableSectionName(QStringView name)
{
    return !name.trimmed().isEmpty() && !name.contains(u'[') && !name.contains(u']')
        && !name.contains(u'\r') && !name.contains(u'\n');
}

} // namespace IniFile
