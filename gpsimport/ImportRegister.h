#pragma once
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>

class QIODevice;

// The register of imported files: for every ride file the rider has
// imported (identified by a hash of its content, wherever it came from: a
// plain file, a `.gz`, a member of an archive), the day it was imported,
// the copy kept of it and the rides that became rows of the log. A file
// the register knows is not read again: it is listed from the register,
// unticked, even when its rides have since been deleted from the log.
//
// The register is a Windows-1250 text file (CR LF) in the folder of kept
// files, one record a line, fields apart by tabs:
//   Trasovník: importované soubory 1
//   S <hash> <yyyy-MM-dd imported> <kept file> <original name>
//   J <hash> <start, UTC, ISO 8601> <link> <cell>…
//   A <hash> <yyyy-MM-dd imported> <bytes> <original name> <member hash>,<member hash>…
// "S" a ride file, "J" each of its rides (the cells it was added with),
// "A" an archive whose every ride file is in the register, with its size:
// an archive of a size the register knows is hashed whole, and when the
// register knows that hash, its rides are listed without opening it. A
// ride file's rides that were not added have an empty link. Lines the program does
// not know are kept as they are.
namespace GpsImport {

// A hash of a file's content (Blake2b, 160 bits, in hex): what tells two
// files apart.
class ContentHasher
{
public:
    ContentHasher();
    ~ContentHasher();
    ContentHasher(const ContentHasher &) = delete;
    ContentHasher &operator=(const ContentHasher &) = delete;
    void add(QByteArrayView bytes);
    QByteArray result() const;

private:
    struct Private;
    Private *d;
};
QByteArray contentHash(QByteArrayView bytes);
// The hash of a file's bytes, read in blocks; empty with the reason in
// `problem` when it cannot be read.
// Gives up (empty, no problem) soon after `stop` is set.
QByteArray contentHashOfFile(const QString &path, QString *problem = nullptr,
                             const std::atomic_bool *stop = nullptr);
// The problem of a file that opened but failed in the middle of reading.
inline constexpr char16_t kProblemReadFailed[] = u"čtení souboru selhalo";

struct RegisteredRide
{
    QDateTime start;   // UTC
    QString link;      // what the ride's row holds to find its kept file
    QStringList cells; // the row as it was added
};

struct RegisteredFile
{
    QByteArray hash;
    QDate imported;
    QString kept;     // the kept copy, relative to the folder of kept files
    QString original; // the name it had ("export.zip › activities/1.fit.gz")
    QList<RegisteredRide> rides;
};

class ImportRegister
{
public:
    // Reads the register at `path`; a missing file is an empty register.
    // A line that does not read is kept for the next save and counted.
    static ImportRegister load(const QString &path, QString *problem = nullptr);

    bool isEmpty() const { return m_files.isEmpty(); }
    qsizetype fileCount() const { return m_files.size(); }
    bool knows(const QByteArray &hash) const { return m_files.contains(hash); }
    const RegisteredFile *file(const QByteArray &hash) const;
    // The ride file a link names, and the ride's place in it.
    const RegisteredFile *fileOfLink(const QString &link, int *ride = nullptr) const;
    // The member hashes of an archive whose every ride file is known.
    const QList<QByteArray> *archive(const QByteArray &hash) const;
    bool hasArchiveOfSize(qint64 bytes) const { return m_archiveSizes.contains(bytes); }

    void add(const RegisteredFile &file);
    void addArchive(const QByteArray &hash, const QDate &imported, qint64 bytes, const QString &original,
                    const QList<QByteArray> &members);

    // The whole register as its file holds it.
    QByteArray bytes() const;
    qsizetype unreadLines() const { return m_unread.size(); }
    // False when the file is there but could not be read at all: it must
    // then not be written over.
    bool wasReadable() const { return m_readable; }

private:
    struct Archive
    {
        QDate imported;
        qint64 bytes = 0;
        QString original;
        QList<QByteArray> members;
    };
    QHash<QByteArray, RegisteredFile> m_files;
    QList<QByteArray> m_order; // files in the order they were registered
    QHash<QString, QByteArray> m_byKept;
    QHash<QByteArray, Archive> m_archives;
    QList<QByteArray> m_archiveOrder;
    QSet<qint64> m_archiveSizes;
    QList<QByteArray> m_unread;
    bool m_readable = true;
};

} // namespace GpsImport
