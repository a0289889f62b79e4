#include "DataKeeper.h"
#include "ProgramFolder.h"
#include "AppError.h"
#include "Messages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString withSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString tab()
{
    return QStringLiteral("\t");
}
} // namespace

DataKeeper::DataKeeper(const QString &dataFolder, const QString &userFolder)
    : m_dataFolder(withSeparator(dataFolder)), m_userFolder(withSeparator(userFolder.isEmpty() ? dataFolder : userFolder))
{
}

QString DataKeeper::freeName(const QString &folder, const QString &base, const QString &suffix)
{
    const QString dir = withSeparator(folder);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString name = dir + base + u'-' + stamp + suffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = dir + base + u'-' + stamp + u'-' + QString::number(n) + suffix;
    return name;
}

QStringList DataKeeper::safeFolders(const QStringList &preferred)
{
    QStringList folders;
    for (const QString &f : preferred + QStringList{QDir::tempPath()}) {
        const QString dir = withSeparator(f);
        if (!dir.isEmpty() && !folders.contains(dir))
            folders.append(dir);
    }
    return folders;
}

namespace {
// "default.tvl" → "default" and ".tvl"; a name without a suffix keeps none.
std::pair<QString, QString> nameParts(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    return {info.completeBaseName(), suffix};
}
} // namespace

QString DataKeeper::keepDamaged(const QString &path) const
{
    const auto [base, suffix] = nameParts(path);
    for (const QString &folder : safeFolders({QFileInfo(path).absolutePath(), m_userFolder})) {
        QDir().mkpath(folder);
        const QString copy = freeName(folder, base + QStringLiteral("-poskozeny"), suffix);
        // QFile::copy writes a temporary file and renames it: never a half copy.
        if (QFile::copy(path, copy))
            return copy;
    }
    return QString();
}

QString DataKeeper::keepDamagedAndSay(const QString &path, const QString &error, const QString &when,
                                      bool *kept) const
{
    const QString copy = keepDamaged(path);
    if (kept)
        *kept = !copy.isEmpty();
    if (!copy.isEmpty())
        return QStringLiteral("%1\n\nSoubor „%2“ se nepodařilo načíst celý. Jeho původní obsah byl uložen do "
                              "souboru „%3“; %4 se do „%2“ zapíše jen to, co se podařilo načíst.")
            .arg(error, path, copy, when);
    return QStringLiteral("%1\n\nSoubor „%2“ se nepodařilo načíst celý a jeho kopii se nepodařilo nikam uložit. "
                          "Soubor si zazálohujte dřív, než %3 do něj zapíše jen to, co se podařilo načíst.")
        .arg(error, path, when);
}

bool DataKeeper::isRescued(const Data &data) const
{
    if (!data.version)
        return false;
    const auto it = m_rescuedVersion.constFind(data.path);
    return it != m_rescuedVersion.constEnd() && it.value() == data.version();
}

QString DataKeeper::rescue(const Data &data)
{
    const auto [base, suffix] = nameParts(data.path);
    for (const QString &folder : safeFolders({m_userFolder})) {
        QDir().mkpath(folder);
        const QString copy = freeName(folder, base + QStringLiteral("-zachrana"), suffix);
        // A writer of a part starts from what the file holds, so that the
        // copy is the whole file as it should have become.
        if (data.partOfFile && QFileInfo(data.path).isFile() && !QFile::copy(data.path, copy))
            continue;
        if (!failureOf([&] { data.write(copy); }).isEmpty()) {
            QFile::remove(copy);
            continue;
        }
        // The next start says where the data went.
        QFile list(m_userFolder + rescueListName());
        if (QDir().mkpath(m_userFolder) && list.open(QIODevice::WriteOnly | QIODevice::Append))
            list.write((QDir::cleanPath(data.path) + tab() + copy).toUtf8() + '\n');
        if (data.version)
            m_rescuedVersion.insert(data.path, data.version());
        return copy;
    }
    return QString();
}

bool DataKeeper::writeOrRescue(const Data &data, QString *error)
{
    const QString failure = failureOf([&] { data.write(data.path); });
    if (error)
        *error = failure;
    if (failure.isEmpty()) {
        m_rescuedVersion.remove(data.path);
        return true;
    }
    if (!isRescued(data))
        rescue(data);
    return false;
}

void DataKeeper::hold(const QString &key, Data data)
{
    for (Held &h : m_held) {
        if (h.key == key) {
            h.data = std::move(data);
            return;
        }
    }
    m_held.append({key, std::move(data)});
}

void DataKeeper::letGo(const QString &key)
{
    m_held.removeIf([&](const Held &h) { return h.key == key; });
}

QStringList DataKeeper::writeHeld()
{
    QStringList errors;
    // A writer may let go of its data while it runs: work on a copy.
    const QList<Held> held = m_held;
    for (const Held &h : held) {
        QString error;
        if (!writeOrRescue(h.data, &error) && !errors.contains(error))
            errors.append(error);
    }
    return errors;
}

QString DataKeeper::rescueListName()
{
    return QStringLiteral("zachranene-kopie.txt");
}

QString DataKeeper::takeRescueReport()
{
    const QString listPath = m_userFolder + rescueListName();
    QFile f(listPath);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    f.close();
    QStringList entries;
    for (const QString &line : lines) {
        const qsizetype t = line.indexOf(u'\t');
        // Lists written before other files were rescued name only copies
        // of the ride log.
        const QString file = t < 0 ? ProgramFolder::Location::inFolder(m_dataFolder).rideLog() : line.left(t);
        const QString copy = t < 0 ? line : line.mid(t + 1);
        entries.append(QStringLiteral("„%1“: %2")
                           .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(copy.trimmed())));
    }
    QFile::remove(listPath);
    if (entries.isEmpty())
        return QString();
    return QStringLiteral("Při minulém ukončení programu se nepodařilo uložit tyto soubory. Jejich obsah z té "
                          "chvíle je v záložních kopiích:\n%1")
        .arg(entries.join(u'\n'));
}
