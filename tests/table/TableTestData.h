#pragma once
// What the table tests share: Windows-1250 bytes written by hand, the
// example ride log file, tables set up as the ride log sets them up.

#include "AppError.h"
#include "MessageRecorder.h"
#include "TestFiles.h"
#include "AnsiFile.h"
#include "StringTable.h"
#include "TableFile.h"
#include "StringTableView.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <numeric>
#include <random>

Q_DECLARE_METATYPE(StringTable::SecondCaptionPlacement)


// Windows-1250 bytes of the few accented letters the tests use, from the
// code chart; kept apart from the program's own encoder on purpose.
inline QByteArray cp1250(const QString &text)
{
    static const QHash<char16_t, char> map = {
        {u'á', '\xe1'}, {u'é', '\xe9'}, {u'í', '\xed'}, {u'ó', '\xf3'}, {u'ú', '\xfa'},
        {u'ů', '\xf9'}, {u'ý', '\xfd'}, {u'č', '\xe8'}, {u'ď', '\xef'}, {u'ě', '\xec'},
        {u'ň', '\xf2'}, {u'ř', '\xf8'}, {u'š', '\x9a'}, {u'ť', '\x9d'}, {u'ž', '\x9e'},
        {u'Č', '\xc8'}, {u'Ř', '\xd8'}, {u'Š', '\x8a'}, {u'Ž', '\x8e'}, {u'Ú', '\xda'},
    };
    QByteArray out;
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            out.append(char(c.unicode()));
        else if (map.contains(c.unicode()))
            out.append(map.value(c.unicode()));
        else
            qFatal("cp1250(): no byte for U+%04X in the test table", c.unicode());
    }
    return out;
}

// The lines, each followed by CR LF, in Windows-1250.
inline QByteArray fileOf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += cp1250(l) + "\r\n";
    return out;
}


template<typename F>
inline QString appErrorOf(F &&action)
{
    try {
        action();
    } catch (const AppError &e) {
        return e.text();
    }
    return QStringLiteral("<no AppError>");
}

inline const QStringList kHeadings = {QStringLiteral("Datum"), QStringLiteral("Název"),
                               QStringLiteral("Průběh trasy"), QStringLiteral("Km"),
                               QStringLiteral("Čas"), QStringLiteral("km/h"),
                               QStringLiteral("1-5")};

// The example ride log: a heading row and two rides, the second without
// a course.
inline const QStringList kExampleLines = {
    QStringLiteral("|"),
    QStringLiteral("3|7"),
    QStringLiteral("18"),
    QString(),
    QString(),
    QStringLiteral("Top"),
    QStringLiteral("Column 0 Width: 62"),
    QStringLiteral("0|0|Datum"),
    QStringLiteral("1|0|Název"),
    QStringLiteral("2|0|Průběh trasy"),
    QStringLiteral("3|0|Km"),
    QStringLiteral("4|0|Čas"),
    QStringLiteral("5|0|km/h"),
    QStringLiteral("6|0|1-5"),
    QStringLiteral("0|1|3.5.2005"),
    QStringLiteral("1|1|Okruh"),
    QStringLiteral("2|1|Lhota - Ves - Lhota"),
    QStringLiteral("3|1|42,5"),
    QStringLiteral("4|1|01:55"),
    QStringLiteral("5|1|22,2"),
    QStringLiteral("6|1|3"),
    QStringLiteral("0|2|7.5.2005"),
    QStringLiteral("1|2|Do práce"),
    QStringLiteral("3|2|12"),
    QStringLiteral("4|2|00:40"),
    QStringLiteral("5|2|18"),
    QStringLiteral("6|2|1"),
    QString(),
};

inline const QStringList kRide1 = {"3.5.2005", "Okruh", "Lhota - Ves - Lhota", "42,5", "01:55", "22,2", "3"};
inline const QStringList kRide2 = {"7.5.2005", "Do práce", "", "12", "00:40", "18", "1"};

// A grid as the ride log window sets it up.
inline std::unique_ptr<StringTable> rideLogGrid()
{
    auto g = std::make_unique<StringTable>();
    g->setAutoBackup(false);
    g->setTableColumnCount(7);
    g->setTableRowCount(2);
    g->setHeadingColumns(0);
    g->setDefaultRowHeight(18);
    g->setColumnWidth(0, 62);
    g->setColumnHeadings(kHeadings);
    return g;
}

inline std::unique_ptr<StringTable> plainGrid()
{
    auto g = std::make_unique<StringTable>();
    g->setAutoBackup(false);
    return g;
}

// Loads the given lines, written with CR LF, through a file.
inline void loadLines(StringTable &g, const QTemporaryDir &dir, const QStringList &lines)
{
    const QString path = dir.filePath(QStringLiteral("load.tvl"));
    putFile(path, fileOf(lines));
    TableFile::load(g, path);
}

inline QStringList allCells(const StringTable &g)
{
    QStringList out;
    for (int r = 0; r < g.tableRowCount(); ++r)
        out += g.rowTexts(r);
    return out;
}
