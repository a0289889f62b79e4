#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the program: Windows-1250 bytes, CR LF after every line,
// no byte-order mark, read and written whole.
namespace AnsiFile {

// Converts to Windows-1250. Throws AppError naming the first character
// that the code page cannot hold, so that no text is ever lost silently.
QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);
// Appends the decoded bytes to a text.
void appendDecoded(QString &out, QByteArrayView bytes);
// Decodes the bytes into bytes.size() characters at `out`.
void decodeInto(char16_t *out, QByteArrayView bytes);
// The character of one byte, and the byte of one character (-1 when the
// code page has none).
QChar decodeByte(uchar byte);
int encodeChar(QChar c);

// True when every character of the text has a Windows-1250 byte.
bool isEncodable(QStringView text);
// The characters of the text that Windows-1250 cannot hold, each once.
QString unencodableCharacters(QStringView text);

// Whole file as bytes. Only a regular file is read: a folder, a pipe or
// a device at the path never blocks and fails like a file that cannot
// be opened. Throws AppError("Cannot open file <path>").
QByteArray readBytes(const QString &path);
// What stands at the path when it is not a regular file ("složka",
// "pojmenovaná roura", ...); empty for a regular file or nothing at all.
QString whatIsInTheWay(const QString &path);
// Lines of a text: a line ends at CR LF, LF or CR; a final line break
// does not start another line.
QStringList splitLines(const QString &text);
QStringList readLines(const QString &path);
// Writes every line followed by CR LF.
void writeLines(const QString &path, const QStringList &lines);

} // namespace AnsiFile
