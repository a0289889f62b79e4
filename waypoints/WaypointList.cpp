#include "WaypointList.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "AppError.h"
#include "LocaleService.h"
#include "TPubStrGrid.h"

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

void LoadWaypointFile(TPubStrGrid &list, const QString &path)
{
    const QByteArray bytes = AnsiFile::readBytes(path);
    bool whole = true;
    const QStringList names = waypointNames(bytes, &whole);
    // More names than a table can hold would be cut off and then lost at
    // the next saving.
    if (names.size() > TPubStrGrid::kMaxRowCount)
        throw AppError(QStringLiteral("Soubor %1 má více než %2 řádků.").arg(path).arg(TPubStrGrid::kMaxRowCount));
    list.beginBulkUpdate();
    list.setRowCount(int(names.size()));
    list.setCols(0, names);
    if (names.isEmpty())
        list.setCells(0, 0, QString());
    list.endBulkUpdate();
    if (!whole)
        throw AppError(QStringLiteral("Soubor %1 obsahuje nulový bajt (na pozici %2): seznam průjezdních bodů "
                                      "byl načten jen po něj.")
                           .arg(path)
                           .arg(bytes.indexOf('\0')));
}

void SaveWaypointFile(const TPubStrGrid &list, const QString &path)
{
    AtomicWrite::replaceFile(path, waypointFileBytes(list.Cols(0)));
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

bool HasWaypoint(const TPubStrGrid &list, const QString &name)
{
    const LocaleService &locale = LocaleService::instance();
    for (int row = 0; row < list.RowCount(); ++row) {
        if (locale.compareText(list.Cells(0, row), name) == 0)
            return true;
    }
    return false;
}

int AddWaypoint(TPubStrGrid &list, const QString &name)
{
    if (HasWaypoint(list, name))
        return -1;
    if (list.RowCount() == 1 && list.cellView(0, 0).isEmpty()) {
        list.setCells(0, 0, name);
        return 0;
    }
    const int row = list.RowCount();
    list.setRowCount(row + 1);
    list.setCells(0, row, name);
    return row;
}

void DeleteWaypoint(TPubStrGrid &list, int row)
{
    if (list.RowCount() == 1)
        list.setCells(0, 0, QString());
    else
        list.RemoveRow(row);
}
