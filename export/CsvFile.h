#pragma once
#include <QByteArray>
#include <QString>

class StringTable;

// The ride log as a CSV file that spreadsheets open in the right columns:
// UTF-8 with a byte-order mark, ";" between fields (a decimal comma stays
// inside its field), CR LF after every row. A field is quoted when it
// holds ";", a quote or a line break; its quotes are then doubled.
namespace CsvFile {

// Every row of the table, the heading row included, every column.
QByteArray bytes(const StringTable &table);

// Writes bytes(table) to path whole and atomically: on failure the file
// is left as it was and AppError tells why.
void write(const QString &path, const StringTable &table);

} // namespace CsvFile
