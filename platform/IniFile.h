#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// Settings and favourites files: Windows-style INI files in Windows-1250.
// A line "[name]" opens a section; a line "key=value" inside a section is
// a key. Section and key names match without regard to letter case and to
// blanks around them. Every call opens the file, does its work and closes
// it: nothing is kept in memory between calls. Every byte the call does
// not change (comments, unknown lines, line ends, other sections) stays as
// it was, and a write replaces the file whole and atomically.
namespace IniFile {

using Entries = QList<std::pair<QString, QString>>;

// Section names in file order, each name once (the first spelling). A
// missing or unreadable file has none; a header "[]" names no section.
QStringList sections(const QString &path);

// The value of a key with blanks around it removed, read whole; `fallback`
// when the file, the section or the key is missing. The first section of
// the name and its first key of the name count.
QString readString(const QString &path, QStringView section, QStringView key, const QString &fallback = {});

// True when the section is there and holds at least one key.
bool hasKeys(const QString &path, QStringView section);

// An integer text: decimal with an optional sign, or hexadecimal after
// "0x" / "0X" (more than two characters); anything else gives `fallback`.
int parseInteger(QStringView text, int fallback);
// readString + parseInteger.
int readInteger(const QString &path, QStringView section, QStringView key, int fallback);

// Writes keys into a section in one write of the file: a key that is
// there gets its value replaced in place; a new key goes after the last
// line of its section; a new section goes at the end of the file. The file
// is created when missing. Line breaks in a value become blanks. No
// entries: nothing is written. A file that is there but cannot be read is
// never replaced. Throws AppError("Unable to write to <path>").
void writeString(const QString &path, QStringView section, QStringView key, const QString &value);
void writeStrings(const QString &path, QStringView section, const Entries &entries);

// Removes every section of the name with all its lines. Nothing is written
// when there is none. Throws AppError("Unable to write to <path>").
void eraseSection(const QString &path, QStringView section);

// A name the file can hold as a section and find again: something other
// than blanks, no "[", "]" or line break.
bool isUsableSectionName(QStringView name);

} // namespace IniFile
