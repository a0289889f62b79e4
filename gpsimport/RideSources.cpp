#include "RideSources.h"
#include "GiveWay.h"
#include "AnsiFile.h"
#include "LocaleService.h"
#include "RideColumn.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

namespace GpsImport {

namespace {

constexpr char16_t kActivityListName[] = u"activities.csv";
// Members read but not yet parsed, at most: beyond it the reading thread
// parses the member itself instead of reading on.
constexpr qint64 kBytesInFlight = 64 * 1024 * 1024;

void markSource(QList<ImportRow> &rows, const QString &source, const QString &member, const QByteArray &hash)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        ImportRow &row = rows[i];
        row.source = source;
        row.member = member;
        if (!row.offered)
            continue;
        row.hash = hash;
        row.rideInFile = int(i);
        row.ridesInFile = int(rows.size());
    }
}

QList<ImportRow> problemRows(const QString &shownName, const QString &reason, const QTimeZone &zone)
{
    return rowsOf(shownName, FileRides{{}, reason}, zone);
}

// The rows of one ride file's bytes: from the register when it knows
// them, else read.
QList<ImportRow> rowsOfBytes(const QByteArray &bytes, const QByteArray &hash, const QString &shownName,
                             const SourceReading &reading)
{
    if (const RegisteredFile *known = reading.knownFiles ? reading.knownFiles->file(hash) : nullptr)
        return knownRows(*known, shownName);
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    return rowsOf(shownName, readRideDevice(in, reading.zone, *reading.stop), reading.zone);
}

void readPlainFile(const SourceReading &reading)
{
    const QString name = QFileInfo(reading.path).fileName();
    SourcePiece piece;
    piece.source = reading.path;
    QString problem;
    const QByteArray hash = contentHashOfFile(reading.path, &problem, reading.stop.get());
    const RegisteredFile *known = hash.isEmpty() || !reading.knownFiles ? nullptr : reading.knownFiles->file(hash);
    if (known)
        piece.rows = knownRows(*known, name);
    else if (problem == QString::fromUtf16(kProblemReadFailed))
        // Opened a moment ago, unreadable now: a device pulled out, say.
        piece.rows = problemRows(name, QStringLiteral("%1 (odpojené zařízení?)").arg(problem), reading.zone);
    else
        piece.rows = rowsOf(name, readRideFile(reading.path, reading.zone, *reading.stop), reading.zone);
    markSource(piece.rows, reading.path, QString(), hash);
    piece.bytesRead = QFileInfo(reading.path).size();
    piece.finished = true;
    reading.deliver(std::move(piece));
}

// An archive the register knows whole: its rides as registered.
bool listKnownArchive(const SourceReading &reading, qint64 size)
{
    const ImportRegister *known = reading.knownFiles.get();
    if (!known || !known->hasArchiveOfSize(size))
        return false;
    const QByteArray hash = contentHashOfFile(reading.path, nullptr, reading.stop.get());
    const QList<QByteArray> *members = hash.isEmpty() ? nullptr : known->archive(hash);
    if (!members)
        return false;
    SourcePiece piece;
    piece.source = reading.path;
    for (const QByteArray &member : *members) {
        const RegisteredFile *file = known->file(member);
        if (!file)
            return false;
        QList<ImportRow> rows = knownRows(*file, file->original);
        markSource(rows, reading.path, file->original, member);
        piece.rows += rows;
    }
    piece.bytesRead = size;
    piece.finished = true;
    piece.archive = true;
    piece.archiveHash = hash;
    piece.archiveBytes = size;
    piece.memberHashes = *members;
    reading.deliver(std::move(piece));
    return true;
}

// The state one archive's reading shares with the parsing of its members.
class ArchiveReading
{
public:
    explicit ArchiveReading(const SourceReading &reading) : m_reading(reading) {}

    void member(const ArchiveMember &member, QIODevice &content)
    {
        if (QFileInfo(member.member).fileName().compare(QStringView(kActivityListName), Qt::CaseInsensitive) == 0) {
            takeList(member, readActivityList(content, *m_reading.stop));
            return;
        }
        QByteArray bytes = content.readAll();
        // A member that did not read whole is reported as refused.
        if (memberReadFailed(content) || bytes.isEmpty() || m_reading.stop->load())
            return;
        if (member.packed) {
            // A `.gz` is unpacked by the parsers too: the reading thread
            // only reads the archive.
            handOn(bytes.size(), true, [this, bytes, member](qint64 reserved) {
                unpackAndParse(member, bytes, reserved);
            });
            return;
        }
        const QByteArray hash = contentHash(bytes);
        // A known file is listed from the register at once.
        const bool known = m_reading.knownFiles && m_reading.knownFiles->knows(hash);
        handOn(bytes.size(), !known, [this, bytes, hash, member](qint64 reserved) {
            parseBytes(member, bytes, hash, reserved);
        });
    }

    void refused(const ArchiveMember &member, const QString &reason)
    {
        QList<ImportRow> rows = problemRows(member.path, reason, m_reading.zone);
        markSource(rows, m_reading.path, member.path, {});
        QMutexLocker lock(&m_mutex);
        deliver(std::move(rows));
    }

    void progress(qint64 bytes)
    {
        QMutexLocker lock(&m_mutex);
        m_bytesRead = bytes;
    }

    // The reading of the archive is over: the last piece goes when the
    // last member is parsed.
    void readingOver(const QString &problem, qint64 size)
    {
        QMutexLocker lock(&m_mutex);
        if (!problem.isEmpty()) {
            QList<ImportRow> rows = problemRows(QFileInfo(m_reading.path).fileName(), problem, m_reading.zone);
            markSource(rows, m_reading.path, QString(), {});
            deliver(std::move(rows));
        }
        m_bytesRead = size;
        m_size = size;
        m_over = true;
        finishWhenDone();
        // The members in the parsers refer to this reading: it waits for them.
        while (m_pending > 0)
            m_parsedAll.wait(&m_mutex);
    }

private:
    // Runs `job` in the parsers when they are to be used and there is room
    // for `bytes` more in flight (the job gets what it reserved), else in
    // this thread.
    template <class Job>
    void handOn(qint64 bytes, bool beside, Job job)
    {
        if (m_reading.parsers && beside && reserve(bytes)) {
            m_reading.parsers->start([job = std::move(job), bytes] {
                // Parsers, like the readers, give way to the window.
                giveWayToTheWindow();
                job(bytes);
            });
            return;
        }
        {
            QMutexLocker lock(&m_mutex);
            ++m_pending;
        }
        job(0);
    }

    void unpackAndParse(const ArchiveMember &member, const QByteArray &packed, qint64 reserved)
    {
        // Members still waiting when the reading is stopped are dropped.
        if (m_reading.stop->load()) {
            parsed(member, {}, {}, reserved);
            return;
        }
        QString problem;
        const QByteArray bytes = unpackMember(packed, m_reading.limits, &problem);
        if (!problem.isEmpty() || bytes.isEmpty()) {
            const QString reason = problem.isEmpty() ? QStringLiteral("prázdný soubor") : problem;
            parsed(member, {}, problemRows(member.path, reason, m_reading.zone), reserved);
            return;
        }
        parseBytes(member, bytes, contentHash(bytes), reserved);
    }

    void parseBytes(const ArchiveMember &member, const QByteArray &bytes, const QByteArray &hash, qint64 reserved)
    {
        if (m_reading.stop->load()) {
            parsed(member, hash, {}, reserved);
            return;
        }
        parsed(member, hash, rowsOfBytes(bytes, hash, member.path, m_reading), reserved);
    }

    bool reserve(qint64 bytes)
    {
        QMutexLocker lock(&m_mutex);
        if (m_inFlight + bytes > kBytesInFlight && m_inFlight > 0)
            return false;
        m_inFlight += bytes;
        ++m_pending;
        return true;
    }

    void parsed(const ArchiveMember &member, const QByteArray &hash, QList<ImportRow> rows, qint64 reserved)
    {
        markSource(rows, m_reading.path, member.path, hash);
        QMutexLocker lock(&m_mutex);
        m_inFlight -= reserved;
        const auto list = m_lists.constFind(member.folder);
        for (ImportRow &row : rows) {
            if (!row.offered)
                continue;
            if (list != m_lists.cend())
                if (const ListedActivity *listed = listedActivity(*list, member.member))
                    applyListedActivity(row, *listed);
        }
        if (!rows.isEmpty() && rows.constFirst().offered) {
            m_memberHashes.append(hash);
            if (list == m_lists.cend())
                m_listedLater.append(member);
        }
        deliver(std::move(rows));
        --m_pending;
        finishWhenDone();
        m_parsedAll.wakeAll();
    }

    void takeList(const ArchiveMember &member, const ActivityList &list)
    {
        QMutexLocker lock(&m_mutex);
        if (!list.problem.isEmpty()) {
            QList<ImportRow> rows = problemRows(member.path, list.problem, m_reading.zone);
            markSource(rows, m_reading.path, member.path, {});
            deliver(std::move(rows));
            return;
        }
        m_lists.insert(member.folder, list);
        SourcePiece piece;
        piece.source = m_reading.path;
        for (const ArchiveMember &earlier : std::as_const(m_listedLater))
            if (earlier.folder == member.folder)
                if (const ListedActivity *listed = listedActivity(list, earlier.member))
                    piece.amendments.append({m_reading.path, earlier.path, *listed});
        piece.bytesRead = m_bytesRead;
        if (!piece.amendments.isEmpty())
            m_reading.deliver(std::move(piece));
    }

    // Under the lock.
    void deliver(QList<ImportRow> rows)
    {
        SourcePiece piece;
        piece.source = m_reading.path;
        piece.rows = std::move(rows);
        piece.bytesRead = m_bytesRead;
        m_reading.deliver(std::move(piece));
    }

    void finishWhenDone()
    {
        if (!m_over || m_pending > 0 || m_finished)
            return;
        m_finished = true;
        SourcePiece piece;
        piece.source = m_reading.path;
        piece.bytesRead = m_size;
        piece.finished = true;
        piece.archive = true;
        piece.archiveBytes = m_size;
        piece.memberHashes = m_memberHashes;
        m_reading.deliver(std::move(piece));
    }

    const SourceReading &m_reading;
    QMutex m_mutex;
    QWaitCondition m_parsedAll;
    QHash<QString, ActivityList> m_lists; // by the folder of the archive that holds the list
    QList<ArchiveMember> m_listedLater;   // rides listed while their folder had no list yet
    QList<QByteArray> m_memberHashes;
    qint64 m_inFlight = 0;
    qint64 m_bytesRead = 0;
    qint64 m_size = 0;
    int m_pending = 0;
    bool m_over = false;
    bool m_finished = false;
};

} // namespace

void readSource(const SourceReading &reading)
{
    if (!isArchiveFile(reading.path)) {
        readPlainFile(reading);
        return;
    }
    const qint64 size = QFileInfo(reading.path).size();
    if (listKnownArchive(reading, size))
        return;
    ArchiveReading archive(reading);
    ArchiveCallbacks callbacks;
    callbacks.member = [&archive](const ArchiveMember &m, QIODevice &content) { archive.member(m, content); };
    callbacks.refused = [&archive](const ArchiveMember &m, const QString &reason) { archive.refused(m, reason); };
    callbacks.progress = [&archive](qint64 bytes) { archive.progress(bytes); };
    callbacks.gzipPacked = true;
    const QString problem = readArchive(reading.path, callbacks, *reading.stop, reading.limits);
    archive.readingOver(problem, size);
}

QList<ImportRow> knownRows(const RegisteredFile &file, const QString &shownName)
{
    QList<ImportRow> rows;
    const QString imported =
        QString::fromUtf16(kRemarkImported).arg(LocaleService::instance().formatDate(file.imported));
    for (qsizetype i = 0; i < file.rides.size(); ++i) {
        const RegisteredRide &ride = file.rides[i];
        ImportRow row;
        row.start = ride.start;
        row.cells = ride.cells;
        if (row.cells.size() < RideColumn::Count)
            row.cells.resize(RideColumn::Count);
        row.files = {shownName};
        row.remarks = {imported};
        if (ride.link.isEmpty())
            row.remarks.append(QString::fromUtf16(kRemarkNotAdded));
        row.ticked = false;
        row.known = true;
        row.link = ride.link;
        rows.append(row);
    }
    return rows;
}

void applyListedActivity(ImportRow &row, const ListedActivity &activity)
{
    const QString name = encodableName(activity.name).simplified();
    if (!name.isEmpty())
        row.cells[RideColumn::Name] = name;
    const QString sport = otherSportName(activity.type);
    if (!activity.type.trimmed().isEmpty() && !sport.isEmpty() && !row.otherSport) {
        row.otherSport = true;
        row.ticked = false;
        row.remarks.prepend(sport);
    }
    const QString gear = encodableName(activity.gear).simplified();
    if (!gear.isEmpty()) {
        if (row.cells.size() < RideColumn::CountWithBike)
            row.cells.resize(RideColumn::CountWithBike);
        row.cells[RideColumn::Bike] = gear;
    }
}

QString encodableName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        if (AnsiFile::encodeChar(c) >= 0) {
            out += c;
            continue;
        }
        const QString plain = QString(c).normalized(QString::NormalizationForm_D);
        if (!plain.isEmpty() && plain.at(0) != c && AnsiFile::encodeChar(plain.at(0)) >= 0)
            out += plain.at(0);
    }
    return out;
}

} // namespace GpsImport
