#include "CsvFile.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "StringTable.h"

#include <QStringConverter>

namespace CsvFile {

namespace {
void appendField(QString &out, QStringView field)
{
    const bool quote = field.contains(u';') || field.contains(u'"') || field.contains(u'\n')
                       || field.contains(u'\r');
    if (!quote) {
        out += field;
        return;
    }
    out += u'"';
    for (QChar c : field) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
}
} // namespace

QByteArray bytes(const StringTable &table)
{
    QString text;
    for (int r = 0; r < table.tableRowCount(); ++r) {
        for (int c = 0; c < table.riderColumnCount(); ++c) {
            if (c > 0)
                text += u';';
            appendField(text, table.cellView(c, r));
        }
        text += u"\r\n";
    }
    QStringEncoder toUtf8(QStringConverter::Utf8, QStringConverter::Flag::WriteBom);
    return toUtf8.encode(text);
}

void write(const QString &path, const StringTable &table)
{
    AtomicWrite::replaceFile(path, bytes(table));
}

} // namespace CsvFile
