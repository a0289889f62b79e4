#include "ImportRegister.h"
#include "AnsiFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTimeZone>

namespace GpsImport {

namespace {
constexpr char kHeading[] = "Trasovník: importované soubory 1";
constexpr QCryptographicHash::Algorithm kAlgorithm = QCryptographicHash::Blake2b_160;

// A field of a line: no tab or line break inside, only characters the
// code page holds (a name from a device may have others; it is only shown).
QString field(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
        else if (AnsiFile::encodeChar(c) < 0)
            c = u'?';
    return out;
}

QByteArray lineOf(const QStringList &fields)
{
    QStringList clean;
    clean.reserve(fields.size());
    for (const QString &f : fields)
        clean.append(field(f));
    return AnsiFile::encode(clean.join(u'\t')) + "\r\n";
}
} // namespace

struct ContentHasher::Private
{
    QCryptographicHash hash{kAlgorithm};
};

ContentHasher::ContentHasher() : d(new Private) {}
ContentHasher::~ContentHasher() { delete d; }
void ContentHasher::add(QByteArrayView bytes) { d->hash.addData(bytes); }
QByteArray ContentHasher::result() const { return d->hash.result().toHex(); }

QByteArray contentHash(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, kAlgorithm).toHex();
}

QByteArray contentHashOfFile(const QString &path, QString *problem, const std::atomic_bool *stop)
{
    const QString inTheWay = AnsiFile::whatIsInTheWay(path);
    QFile file(path);
    if (!inTheWay.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = inTheWay.isEmpty() ? QStringLiteral("soubor nelze otevřít") : inTheWay;
        return {};
    }
    ContentHasher hasher;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        if (stop && stop->load())
            return {};
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            if (problem)
                *problem = QString::fromUtf16(kProblemReadFailed);
            return {};
        }
        if (got == 0)
            break;
        hasher.add(QByteArrayView(block.constData(), got));
    }
    return hasher.result();
}

ImportRegister ImportRegister::load(const QString &path, QString *problem)
{
    ImportRegister reg;
    if (!QFile::exists(path))
        return reg;
    QStringList lines;
    try {
        lines = AnsiFile::readLines(path);
    } catch (const std::exception &) {
        if (problem)
            *problem = QStringLiteral("rejstřík importovaných souborů nelze přečíst");
        reg.m_readable = false;
        return reg;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (i == 0 && line == QString::fromUtf8(kHeading))
            continue;
        const QStringList f = line.split(u'\t');
        const QByteArray hash = f.value(1).toLatin1();
        bool read = false;
        if (f.size() >= 5 && f[0] == u"S" && !hash.isEmpty()) {
            RegisteredFile file{hash, QDate::fromString(f[2], Qt::ISODate), f[3], f.mid(4).join(u'\t'), {}};
            if (const RegisteredFile *known = reg.file(hash))
                file.rides = known->rides;
            reg.add(file);
            read = true;
        } else if (f.size() >= 4 && f[0] == u"J" && reg.m_files.contains(hash)) {
            RegisteredRide ride{QDateTime::fromString(f[2], Qt::ISODate), f[3], f.mid(4)};
            ride.start.setTimeZone(QTimeZone::utc());
            reg.m_files[hash].rides.append(ride);
            read = true;
        } else if (f.size() >= 6 && f[0] == u"A" && !hash.isEmpty()) {
            QList<QByteArray> members;
            for (const QString &m : f[5].split(u',', Qt::SkipEmptyParts))
                members.append(m.toLatin1());
            reg.addArchive(hash, QDate::fromString(f[2], Qt::ISODate), f[3].toLongLong(), f[4], members);
            read = true;
        }
        if (!read && !line.isEmpty())
            reg.m_unread.append(AnsiFile::encode(line));
    }
    if (problem && !reg.m_unread.isEmpty())
        *problem = QStringLiteral("%1 řádků rejstříku importovaných souborů nelze přečíst").arg(reg.m_unread.size());
    return reg;
}

const RegisteredFile *ImportRegister::file(const QByteArray &hash) const
{
    const auto it = m_files.constFind(hash);
    return it == m_files.cend() ? nullptr : &*it;
}

const RegisteredFile *ImportRegister::fileOfLink(const QString &link, int *ride) const
{
    const qsizetype mark = link.lastIndexOf(u'#');
    const QString kept = mark < 0 ? link : link.left(mark);
    const auto it = m_byKept.constFind(kept);
    if (it == m_byKept.cend())
        return nullptr;
    const RegisteredFile *found = file(*it);
    if (ride) {
        *ride = 0;
        for (qsizetype i = 0; found && i < found->rides.size(); ++i)
            if (found->rides[i].link == link)
                *ride = int(i);
    }
    return found;
}

const QList<QByteArray> *ImportRegister::archive(const QByteArray &hash) const
{
    const auto it = m_archives.constFind(hash);
    return it == m_archives.cend() ? nullptr : &it->members;
}

void ImportRegister::add(const RegisteredFile &file)
{
    if (!m_files.contains(file.hash))
        m_order.append(file.hash);
    m_files.insert(file.hash, file);
    if (!file.kept.isEmpty())
        m_byKept.insert(file.kept, file.hash);
}

void ImportRegister::addArchive(const QByteArray &hash, const QDate &imported, qint64 bytes,
                                const QString &original, const QList<QByteArray> &members)
{
    if (!m_archives.contains(hash))
        m_archiveOrder.append(hash);
    m_archives.insert(hash, Archive{imported, bytes, original, members});
    m_archiveSizes.insert(bytes);
}

QByteArray ImportRegister::bytes() const
{
    QByteArray out = AnsiFile::encode(QString::fromUtf8(kHeading)) + "\r\n";
    for (const QByteArray &hash : m_order) {
        const RegisteredFile &f = m_files[hash];
        out += lineOf({QStringLiteral("S"), QString::fromLatin1(hash), f.imported.toString(Qt::ISODate), f.kept,
                       f.original});
        for (const RegisteredRide &r : f.rides)
            out += lineOf(QStringList{QStringLiteral("J"), QString::fromLatin1(hash),
                                      r.start.toUTC().toString(Qt::ISODate), r.link}
                          + r.cells);
    }
    for (const QByteArray &hash : m_archiveOrder) {
        const Archive &a = m_archives[hash];
        QStringList members;
        for (const QByteArray &m : a.members)
            members.append(QString::fromLatin1(m));
        out += lineOf({QStringLiteral("A"), QString::fromLatin1(hash), a.imported.toString(Qt::ISODate),
                       QString::number(a.bytes), a.original, members.join(u',')});
    }
    for (const QByteArray &line : m_unread)
        out += line + "\r\n";
    return out;
}

} // namespace GpsImport
