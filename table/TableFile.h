#pragma once
#include <QByteArrayView>
#include <QString>

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
// Reads and writes a table through its public interface. Errors are
// AppError with the runtime's texts.
class TableFile
{
public:
    // Reads the file at `path` into the table; a missing or empty file
    // leaves the table as it is. Lines that cannot be placed (a cell
    // outside the counts of line 2, a line of no known kind, a second line
    // for the same cell) do not stop the loading: everything else is
    // loaded, then an AppError names them, so that the caller can keep the
    // original file before the table is saved over it.
    static void load(StringTable &table, const QString &path);
    // Reads a table file's bytes into the table. What was read before a
    // failure stays in the table; lines that cannot be placed are named in
    // an AppError after everything else is loaded.
    static void read(StringTable &table, QByteArrayView file);
    // The table file's text, as save writes it (CR LF line ends).
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
};
