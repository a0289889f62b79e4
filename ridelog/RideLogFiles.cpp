#include "RideLogFiles.h"
#include "RideColumn.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "Messages.h"
#include "RideLogBackups.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QFile>
#include <QFileInfo>

RideLogFiles::RideLogFiles(StringTable &log, const ProgramFolder::Location &where, QObject *parent)
    : QObject(parent), m_log(log), m_where(where), m_logPath(where.rideLog()),
      m_keeper(where.folder, where.userFolder)
{
    m_unsavedTimer.setSingleShot(true);
    m_unsavedTimer.setInterval(kUnsavedDelayMs);
    connect(&m_unsavedTimer, &QTimer::timeout, this, [this] { writeUnsavedNow(); });

    // Rows the filter shows or hides change nothing of the log.
    const auto count = [this] {
        if (!m_log.changingShownRows())
            changed();
    };
    connect(&m_log, &StringTable::dataChanged, this, count);
    connect(&m_log, &StringTable::headerDataChanged, this, count);
    connect(&m_log, &StringTable::rowsInserted, this, count);
    connect(&m_log, &StringTable::rowsRemoved, this, count);
    connect(&m_log, &StringTable::columnsInserted, this, count);
    connect(&m_log, &StringTable::columnsRemoved, this, count);
    connect(&m_log, &StringTable::modelReset, this, count);
    connect(&m_log, &StringTable::rowHeightChanged, this, count);
    connect(&m_log, &StringTable::colWidthChanged, this, count);
    connect(&m_log, &StringTable::sizesChanged, this, count);
}

QString RideLogFiles::unsavedPath() const
{
    return m_where.unsaved();
}

DataKeeper::Data RideLogFiles::logData() const
{
    DataKeeper::Data data;
    data.path = m_logPath;
    data.write = [this](const QString &target) { TableFile::save(m_log, target); };
    data.version = [this] { return m_version; };
    return data;
}

void RideLogFiles::changed()
{
    ++m_version;
    // Gathered: a run of keystrokes writes the file once.
    if (!m_unsavedTimer.isActive())
        m_unsavedTimer.start();
}

QString RideLogFiles::load(RideLogPrefetch *prefetch, bool *prefetched)
{
    *prefetched = false;
    QString error;
    const QString inTheWay = AnsiFile::whatIsInTheWay(m_logPath);
    QString said;
    if (!inTheWay.isEmpty()) {
        // Nothing to read and nothing to keep: say what is there instead.
        said = QStringLiteral("Na místě souboru s jízdami „%1“ je %2. Jízdy z něj nelze načíst; program "
                              "začíná s prázdnou knihou jízd a při zavření se ji pokusí uložit na totéž místo.")
                   .arg(m_logPath, inTheWay);
    } else if (prefetch && prefetch->path() == m_logPath) {
        // Read while the program started.
        m_log.takeContents(prefetch->table());
        *prefetched = true;
        error = prefetch->error();
    } else {
        error = failureOf([this] { TableFile::load(m_log, m_logPath); });
    }
    if (!error.isEmpty())
        said = m_keeper.keepDamagedAndSay(m_logPath, error, QStringLiteral("při zavření programu"));
    keepShape();
    // The table now is what the file holds: nothing unsaved.
    m_unsavedTimer.stop();
    m_savedVersion = m_version;
    return said;
}

void RideLogFiles::keepShape()
{
    // Whatever a file held, the log keeps its heading row and its seven
    // columns, so that no commit can fall outside the table.
    if (m_log.tableColumnCount() < RideColumn::Count)
        m_log.setTableColumnCount(RideColumn::Count);
    if (m_log.tableRowCount() < 2)
        m_log.setTableRowCount(2);
    if (m_log.headingRows() != 1)
        m_log.setHeadingRows(1);
}

bool RideLogFiles::save(QString *error)
{
    *error = failureOf([this] { TableFile::save(m_log, m_logPath); });
    if (!error->isEmpty()) {
        writeUnsavedNow(true);
        return false;
    }
    written();
    return true;
}

void RideLogFiles::written()
{
    m_savedVersion = m_version;
    m_unsavedTimer.stop();
    if (!m_holdUnsaved)
        QFile::remove(unsavedPath());
}

bool RideLogFiles::writeLog(QString *error)
{
    if (!m_keeper.writeOrRescue(logData(), error)) {
        // The rescue copy may be missed; the file of unsaved changes is
        // read by the next start all the same.
        writeUnsavedNow(true);
        return false;
    }
    written();
    return true;
}

bool RideLogFiles::saveAs(const QString &path, QString *error)
{
    *error = failureOf([&] { TableFile::save(m_log, path); });
    return error->isEmpty();
}

bool RideLogFiles::isRescued() const
{
    return m_keeper.isRescued(logData());
}

void RideLogFiles::commit()
{
    if (isEnding())
        return;
    QString error;
    writeLog(&error);
    m_keeper.writeHeld();
}

void RideLogFiles::end()
{
    if (isEnding())
        return;
    commit();
    m_keeper.setEnding();
}

void RideLogFiles::writeUnsavedNow(bool durable)
{
    m_unsavedTimer.stop();
    if (m_version == m_savedVersion || m_version == m_unsavedVersion || m_holdUnsaved)
        return;
    // Written whole and atomically; after an ordinary change not waited
    // for on the disk: this happens after every change, and the log's own
    // file is written at closing as always.
    const QByteArray bytes = AnsiFile::encode(TableFile::text(m_log));
    const QString failure = failureOf([&] {
        if (durable)
            AtomicWrite::replaceFile(unsavedPath(), bytes);
        else
            AtomicWrite::replaceScratchFile(unsavedPath(), bytes);
    });
    if (failure.isEmpty())
        m_unsavedVersion = m_version;
}

QString RideLogFiles::backUpDaily(const QDate &today)
{
    const QString report = RideLogBackups::folderProblemReport(m_logPath);
    RideLogBackups::makeDaily(m_logPath, today);
    return report;
}

std::optional<RideLogFiles::Unsaved> RideLogFiles::unsavedChanges()
{
    const QFileInfo unsaved(unsavedPath());
    if (!unsaved.isFile())
        return std::nullopt;
    const QFileInfo log(m_logPath);
    // Nothing to take back when it holds what the log file holds (a
    // change undone, or only the program's own setting up).
    if (log.isFile() && unsaved.size() == log.size()) {
        bool same = false;
        try {
            same = AnsiFile::readBytes(unsavedPath()) == AnsiFile::readBytes(m_logPath);
        } catch (const AppError &) {
        }
        if (same) {
            QFile::remove(unsavedPath());
            return std::nullopt;
        }
    }
    // Older than the log: the log was written after it. Kept all the
    // same, among the copies.
    if (log.isFile() && log.lastModified() >= unsaved.lastModified()) {
        keepUnsavedChanges();
        return std::nullopt;
    }
    return Unsaved{unsaved.absoluteFilePath(), unsaved.lastModified()};
}

void RideLogFiles::replaceFrom(const QString &path, const std::function<void()> &keepFirst)
{
    // Read first: a file that cannot be read whole replaces nothing.
    StringTable table;
    setUpRideLogTable(table);
    TableFile::load(table, path);
    keepFirst();
    m_log.takeContents(table);
    keepShape();
}

QString RideLogFiles::takeUnsavedChanges()
{
    QString copy;
    replaceFrom(unsavedPath(), [&] {
        // The log file as it is becomes a copy; when there is none, there
        // is nothing to keep.
        if (QFileInfo(m_logPath).isFile())
            copy = RideLogBackups::keepFile(m_logPath, m_logPath, RideLogBackups::Entry::BeforeReplacing, false);
    });
    // The file of unsaved changes holds what the table now holds.
    m_unsavedVersion = m_version;
    return copy;
}

QString RideLogFiles::keepUnsavedChanges()
{
    const QString copy =
        RideLogBackups::keepFile(unsavedPath(), m_logPath, RideLogBackups::Entry::UnsavedChanges, true);
    if (copy.isEmpty())
        m_holdUnsaved = true;
    return copy;
}

void RideLogFiles::restore(const QString &backupPath)
{
    // A file that only bears a copy's name (NUL bytes, another kind of
    // file) would load as an empty log.
    const QString problem = RideLogBackups::notARideLog(backupPath);
    if (!problem.isEmpty())
        throw AppError(QStringLiteral("Zálohu „%1“ nelze obnovit: %2.").arg(backupPath, problem));
    replaceFrom(backupPath, [this] { RideLogBackups::keep(m_log, m_logPath, RideLogBackups::Entry::BeforeReplacing); });
    // The log file is written only at closing: until then the restored
    // log lives in the file of unsaved changes, on the disk at once.
    writeUnsavedNow(true);
}
