#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace ProgramFolder {

namespace {
bool writable(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    // The access bits alone do not tell (root, read-only mounts): try it.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".trasovnik-XXXXXX")));
    return probe.open();
}

QString withSeparator(const QString &folder)
{
    QString f = QDir::cleanPath(folder);
    if (!f.endsWith(u'/'))
        f += u'/';
    return f;
}
} // namespace

QString locate(const QString &executableFolder)
{
    if (writable(executableFolder))
        return withSeparator(executableFolder);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return withSeparator(data);
}

QString locate()
{
    return locate(QCoreApplication::applicationDirPath());
}

} // namespace ProgramFolder
