#include "IniFile.h"
#include "AnsiFile.h"
#include "AppError.h"

#include <QFileInfo>

#include <climits>

namespace IniFile {

namespace {

const QByteArray crLf = QByteArrayLiteral("\r\n");

// One line of the file: its own bytes and line end, kept as they were
// so that a write puts back every line it does not change, and what the
// parser made of it.
struct Line
{
    enum Kind { Other, Header, Key };

    QByteArray body;        // the line without its end
    QByteArray end;         // CR LF, LF, CR, or nothing at the end of the file
    Kind kind = Other;
    bool blank = true;      // nothing but blanks
    QString name;           // section or key name, trimmed
    qsizetype equals = -1;  // where the first "=" of a key line is
};

using Lines = QList<Line>;

// Windows-1250 has one byte per character, so a position in the decoded
// line is the same position in its bytes. A "key" above the first header
// belongs to no section, so no lookup ever meets it.
void classify(Line &line, QStringView text)
{
    const QStringView trimmed = text.trimmed();
    line.blank = trimmed.isEmpty();
    if (trimmed.startsWith(u'[')) {
        // "[name" without "]" is no header: it neither opens a section nor
        // is a key of the one it stands in.
        const qsizetype close = trimmed.indexOf(u']', 1);
        if (close > 0) {
            line.kind = Line::Header;
            line.name = trimmed.mid(1, close - 1).trimmed().toString();
        }
        return;
    }
    if (trimmed.startsWith(u';'))
        return;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return;
    const QStringView name = text.left(equals).trimmed();
    if (name.isEmpty())
        return;
    line.kind = Line::Key;
    line.name = name.toString();
    line.equals = equals;
}

Lines parse(const QByteArray &bytes)
{
    Lines lines;
    const QString text = AnsiFile::decode(bytes);
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype start = 0; start < size;) {
        qsizetype stop = start;
        while (stop < size && data[stop] != '\r' && data[stop] != '\n')
            ++stop;
        qsizetype next = stop;
        if (next < size)
            next += (data[next] == '\r' && next + 1 < size && data[next + 1] == '\n') ? 2 : 1;
        Line line;
        line.body = bytes.mid(start, stop - start);
        line.end = bytes.mid(stop, next - stop);
        classify(line, QStringView(text).mid(start, stop - start));
        lines.append(std::move(line));
        start = next;
    }
    return lines;
}

AppError unableToWrite(const QString &path)
{
    return AppError(QStringLiteral("Unable to write to %1").arg(path));
}

// For reading, a file that is missing, unreadable or no regular file at
// all is simply empty: settings then take their defaults.
Lines linesToRead(const QString &path)
{
    try {
        return parse(AnsiFile::readBytes(path));
    } catch (const AppError &) {
        return {};
    }
}

// For writing, only a missing file is empty. Whatever stands at the path
// and cannot be read (a folder, a file without read access, a dangling
// link) is never replaced: its contents would be lost.
Lines linesToChange(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    try {
        return parse(AnsiFile::readBytes(path));
    } catch (const AppError &) {
        throw unableToWrite(path);
    }
}

void writeLines(const QString &path, const Lines &lines)
{
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
        AnsiFile::writeBytes(path, bytes);
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
    QStringList names;
    for (const Line &line : linesToRead(path))
        if (line.kind == Line::Header && !line.name.isEmpty()
            && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    return names;
}

QString readString(const QString &path, QStringView section, QStringView key, const QString &fallback)
{
    const Lines lines = linesToRead(path);
    const qsizetype at = findKey(lines, section, key);
    if (at < 0)
        return fallback;
    const Line &line = lines[at];
    return AnsiFile::decode(QByteArrayView(line.body).sliced(line.equals + 1)).trimmed();
}

bool hasKeys(const QString &path, QStringView section)
{
    const Lines lines = linesToRead(path);
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

void writeStrings(const QString &path, QStringView section, const Entries &entries)
{
    // Callers check names with messages of their own; this only keeps a
    // name that could not be found again out of the file.
    if (!isUsableSectionName(section))
        throw AppError(QStringLiteral("Invalid section name"));
    for (const auto &entry : entries)
        if (!isUsableKeyName(entry.first))
            throw AppError(QStringLiteral("Invalid key name"));
    if (entries.isEmpty())
        return;

    const QString sectionName = section.trimmed().toString();
    Lines lines = linesToChange(path);
    for (const auto &[key, value] : entries) {
        QString flat = value;
        flat.replace(u'\r', u' ').replace(u'\n', u' ');
        setValue(lines, sectionName, key.trimmed(), AnsiFile::encode(flat));
    }
    writeLines(path, lines);
}

void eraseSection(const QString &path, QStringView section)
{
    const Lines lines = linesToChange(path);
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
        writeLines(path, kept);
}

bool isUsableSectionName(QStringView name)
{
    return !name.trimmed().isEmpty() && !name.contains(u'[') && !name.contains(u']')
        && !name.contains(u'\r') && !name.contains(u'\n');
}

} // namespace IniFile
