#include "WaypointList.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "LocaleService.h"
#include "StringTable.h"

QStringList waypointNames(QByteArrayView file, bool *whole)
{
    const qsizetype nul = file.indexOf('\0');
    if (whole)
        *whole = nul < 0;
    if (nul >= 0)
        file = file.first(nul);
    return AnsiFile::splitLines(AnsiFile::decode(file));
}

QByteArray waypointFileBytes(const QStringList &names)
{
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString &name : names)
        size += name.size() + 2;
    bytes.reserve(size);
    for (const QString &name : names) {
        bytes += AnsiFile::encode(name);
        bytes += "\r\n";
    }
    return bytes;
}

void LoadWaypointFile(StringTable &list, const QString &path)
{
    const QByteArray bytes = AnsiFile::readBytes(path);
    bool whole = true;
    const QStringList names = waypointNames(bytes, &whole);
    // More names than a table can hold would be cut off and then lost at
    // the next saving.
    if (names.size() > StringTable::kMaxRowCount)
        throw AppError(QStringLiteral("Soubor %1 má více než %2 řádků.").arg(path).arg(StringTable::kMaxRowCount));
    list.beginBulkUpdate();
    list.setTableRowCount(int(names.size()));
    list.setColumnTexts(0, names);
    if (names.isEmpty())
        list.setCell(0, 0, QString());
    list.endBulkUpdate();
    if (!whole)
        throw AppError(QStringLiteral("Soubor %1 obsahuje nulový bajt (na pozici %2): seznam průjezdních bodů "
                                      "byl načten jen po něj.")
                           .arg(path)
                           .arg(bytes.indexOf('\0')));
}

void SaveWaypointFile(const StringTable &list, const QString &path)
{
    AtomicWrite::replaceFile(path, waypointFileBytes(list.columnTexts(0)));
}

QStringList SplitCourse(const QString &course)
{
    QString text = course;
    text.replace(kCourseSeparator.toString(), QStringLiteral("\n"));
    return AnsiFile::splitLines(text);
}

QString JoinCourse(const QStringList &waypoints)
{
    return waypoints.join(kCourseSeparator);
}

bool HasWaypoint(const StringTable &list, const QString &name)
{
    const LocaleService &locale = LocaleService::instance();
    for (int row = 0; row < list.tableRowCount(); ++row) {
        if (locale.compareText(list.cell(0, row), name) == 0)
            return true;
    }
    return false;
}

int AddWaypoint(StringTable &list, const QString &name)
{
    if (HasWaypoint(list, name))
        return -1;
    if (list.tableRowCount() == 1 && list.cellView(0, 0).isEmpty()) {
        list.setCell(0, 0, name);
        return 0;
    }
    const int row = list.tableRowCount();
    list.setTableRowCount(row + 1);
    list.setCell(0, row, name);
    return row;
}

void DeleteWaypoint(StringTable &list, int row)
{
    if (list.tableRowCount() == 1)
        list.setCell(0, 0, QString());
    else
        list.deleteRow(row);
}
