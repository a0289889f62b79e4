#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// Settings and favourites files: Windows-style INI files in Windows-1250.
// A line "[name]" opens a section; a line "key=value" inside a section is
// a key. Section and key names match without regard to letter case and to
// blanks around them. Every byte the call does not change (comments,
// unknown lines, line ends, other sections) stays as it was, and a write
// replaces the file whole and atomically.
//
// Every call gives what reading the file at that moment gives: a change by
// another program between two calls is always seen. So that reading one key
// after another does not read and parse a large file each time, the last
// few files read stay parsed in memory (each file once, its bytes not
// copied line by line) while the file keeps its identity, size, and
// modification and change times; a file changed within the last seconds is
// read again at every call, since the file system's clock may not have
// moved on yet. A write through this layer drops what was kept of the file.
// The calls may come from any thread (the program makes them on the GUI
// thread only). Two writes of one file at the same moment, from two threads
// or two programs, are not merged: one of them may be lost.
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

// Every section with its keys, in file order, from one reading of the
// file: each key as readString gives it (blanks around the value removed).
// A section that stands twice is listed twice. A missing or unreadable
// file has none; *unreadable (when given) tells the second case.
struct Section
{
    QString name;
    Entries entries;
};
// `wanted`, when given, tells the sections whose keys are read; the others
// are listed by name only (a file of a million sections costs no more
// than its names).
QList<Section> readAll(const QString &path, bool *unreadable = nullptr,
                       const std::function<bool(const QString &section)> &wanted = {});

// Several sections written (as writeStrings writes them) and erased (as
// eraseSection erases them) in one write of the file, in the order given.
// Throws AppError("Unable to write to <path>") and the name errors of
// writeStrings; nothing is written then.
struct SectionChange
{
    QString section;
    Entries entries;    // the keys to write
    bool erase = false; // the section goes, with all its lines
};
void change(const QString &path, const QList<SectionChange> &changes);

// A name the file can hold as a section and find again: something other
// than blanks, no "[", "]" or line break.
bool isUsableSectionName(QStringView name);

} // namespace IniFile
