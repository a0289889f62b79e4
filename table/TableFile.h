#pragma once
#include <QByteArrayView>
#include <QString>

class RowStore;
class StringTable;

// The table file of a StringTable: Windows-1250 text with CR LF line ends.
//
//   line 1  the delimiter
//   line 2  row count, delimiter, column count
//   line 3  the default row height
//   line 4  caption
//   line 5  secondCaption
//   line 6  "Top" or "Bottom": where secondCaption stands
//   then    "Row <row> Height: <height>" for each row whose own height is
//           not the default, "Column <col> Width: <width>" for each column
//           whose width is not the default, "<col>|<row>|<text>" for each
//           cell that holds text (| being the delimiter), row by row
//   last    an empty line
//
// The table's loadFromFile, saveToFile, tableFileText and
// loadTableFileBytes come here. Errors are AppError.
class TableFile
{
public:
    // Reads the file at `path` into the table; a missing or empty file
    // leaves the table as it is.
    static void load(StringTable &table, const QString &path);
    // Reads a table file's bytes into the table. What was read before a
    // failure stays in the table; lines that cannot be placed are named in
    // an AppError after everything else is loaded.
    static void read(StringTable &table, QByteArrayView file);
    // The table file's text.
    static QString text(const StringTable &table);
    // Writes the table file, keeping the file it replaces as "<name>.bak"
    // when the table's autoBackup is set.
    static void save(const StringTable &table, const QString &path);
    // Why bytes that begin a file cannot be a table file of at least
    // `minColumns` columns, said in Czech; empty when its first six lines
    // are those of one (a usable delimiter alone, the counts within the
    // table's bounds, the default row height). Looks at those lines only.
    static QString headerProblem(QByteArrayView beginning, int minColumns);

private:
    class Reader;

    // What the reader and writer reach inside the table: its rows, and
    // the column widths that a file's default sizes reset.
    static RowStore &rows(StringTable &table);
    static const RowStore &rows(const StringTable &table);
    static void clearColWidths(StringTable &table);
};
