#include "AnsiFile.h"
#include "AppError.h"
#include "AtomicWrite.h"
#include "HugePages.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <limits>
#include <vector>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AnsiFile {

namespace {
constexpr qint64 kHugeReadBytes = 4 << 20;

// The code page as two lookup tables, filled once from Qt's own
// Windows-1250 codec. Bytes the code page leaves undefined decode to the
// C1 control of the same value and encode back to that byte, as Windows
// does, so that any file read can be written again unchanged.
struct CodePage
{
    char16_t toUnicode[256];
    // Byte of each UTF-16 code unit, -1 where the code page has none.
    std::vector<qint16> fromUnicode = std::vector<qint16>(65536, qint16(-1));

    CodePage()
    {
        for (int b = 0; b < 0x80; ++b)
            toUnicode[b] = char16_t(b);
        QStringDecoder dec("windows-1250");
        for (int b = 0x80; b < 0x100; ++b) {
            const char byte = char(b);
            const QString s = dec.decode(QByteArrayView(&byte, 1));
            char16_t u = s.size() == 1 ? s.at(0).unicode() : char16_t(0xFFFD);
            if (u == 0xFFFD)
                u = char16_t(b);
            toUnicode[b] = u;
            fromUnicode[u] = qint16(b);
        }
    }
};

const CodePage &codePage()
{
    static const CodePage page;
    return page;
}

int byteFor(char16_t c)
{
    return c < 0x80 ? int(c) : int(codePage().fromUnicode[c]);
}
} // namespace

QString unencodableCharacters(QStringView text)
{
    QString bad;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (byteFor(c.unicode()) >= 0)
            continue;
        // A surrogate pair is one character that the code page never holds.
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const QString pair = text.mid(i, 2).toString();
            if (!bad.contains(pair))
                bad += pair;
            ++i;
            continue;
        }
        if (!bad.contains(c))
            bad += c;
    }
    return bad;
}

bool isEncodable(QStringView text)
{
    for (QChar c : text)
        if (byteFor(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray encode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    const QChar *in = text.data();
    const qint16 *table = codePage().fromUnicode.data();
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = in[i].unicode();
        if (c < 0x80) {
            out[i] = char(c);
            continue;
        }
        const int b = table[c];
        if (b < 0) {
            throw AppError(QStringLiteral("Text obsahuje znaky, které nelze uložit v kódování "
                                          "Windows-1250: %1")
                               .arg(excerpt(unencodableCharacters(text), 20)));
        }
        out[i] = char(b);
    }
    return bytes;
}

void decodeInto(char16_t *out, QByteArrayView bytes)
{
    const char16_t *table = codePage().toUnicode;
    const uchar *in = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i)
        out[i] = table[in[i]];
}

void appendDecoded(QString &out, QByteArrayView bytes)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    decodeInto(reinterpret_cast<char16_t *>(out.data() + start), bytes);
}

QString decode(QByteArrayView bytes)
{
    QString text;
    appendDecoded(text, bytes);
    return text;
}

QChar decodeByte(uchar byte)
{
    return QChar(codePage().toUnicode[byte]);
}

int encodeChar(QChar c)
{
    return byteFor(c.unicode());
}

QByteArray readBytes(const QString &path)
{
    const auto cannotOpen = [&path] { return AppError(QStringLiteral("Cannot open file %1").arg(path)); };
    // Opened without waiting (a pipe would block until a writer comes),
    // then read only when it is a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotOpen();
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw cannotOpen();
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw cannotOpen();
    }
    QByteArray bytes;
    // A large file goes into memory that takes huge pages where the
    // system offers them: a fresh page costs more than its bytes take to
    // read, and a long ride log is read while the program starts.
    if (st.st_size >= kHugeReadBytes && st.st_size < std::numeric_limits<qsizetype>::max() / 2) {
        bytes = QByteArray(qsizetype(st.st_size), Qt::Uninitialized);
        HugePages::advise(bytes.data(), size_t(bytes.size()));
        const qint64 got = f.read(bytes.data(), bytes.size());
        if (got < 0)
            throw cannotOpen();
        bytes.truncate(qsizetype(got));
    }
    // What the file holds beyond its size at the start (it grew), or all
    // of a small one.
    bytes += f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw cannotOpen();
    return bytes;
}

QString whatIsInTheWay(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("složka");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("pojmenovaná roura");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("soket");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("zařízení");
    return QStringLiteral("něco jiného než soubor");
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && d[i + 1].unicode() == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList readLines(const QString &path)
{
    return splitLines(decode(readBytes(path)));
}

void writeLines(const QString &path, const QStringList &lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString &l : lines)
        size += l.size() + 2;
    text.reserve(size);
    for (const QString &l : lines) {
        text += l;
        text += QLatin1String("\r\n");
    }
    AtomicWrite::replaceFile(path, encode(text));
}

} // namespace AnsiFile
