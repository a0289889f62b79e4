#pragma once
#include <QByteArrayView>
#include <QString>

#include <array>

// What must hold for any bytes that stand in one of the program's data
// files, however damaged or hostile. Each check reads the bytes as the
// program reads that file and returns what went wrong, or an empty text.
// The fuzz targets and the corpus replay in the regular tests share them.
namespace FileChecks {

// `folder` is a scratch folder for the checks that need real files.
using Check = QString (*)(QByteArrayView input, const QString &folder);

// The table file: loading keeps within a bounded multiple of the input's
// size in memory, and what is loaded saves, loads back and saves again
// to the same bytes.
QString tableFile(QByteArrayView input, const QString &folder);
// The INI layer: every section and key reads; a key written reads back;
// a section erased is gone; bytes outside what changed stay.
QString iniFile(QByteArrayView input, const QString &folder);
// The waypoint list file: load, save and load again gives the same list.
QString waypointFile(QByteArrayView input, const QString &folder);

// The rides of a FIT, GPX or TCX file: whatever the bytes, the reader
// answers with rides or the reason there are none, each ride with a start
// and a finite, non-negative distance and time, in bounded memory, the
// same answer each time.
QString fitFile(QByteArrayView input, const QString &folder);
QString gpxFile(QByteArrayView input, const QString &folder);
QString tcxFile(QByteArrayView input, const QString &folder);

// An archive the rider brings rides in: whatever the bytes, an answer
// (members, refused members or the reason there are none), each member
// read to its end or its failure told as a refusal, in bounded memory,
// the same answer each time.
QString archiveFile(QByteArrayView input, const QString &folder);
// The activity list of a bulk export: the same list each time, in
// bounded memory.
QString activityList(QByteArrayView input, const QString &folder);

struct Target
{
    const char *name; // also the name of its corpus folder
    Check check;
};
inline constexpr std::array<Target, 8> targets{{
    {"tablefile", tableFile},
    {"inifile", iniFile},
    {"waypointfile", waypointFile},
    {"fitfile", fitFile},
    {"gpxfile", gpxFile},
    {"tcxfile", tcxFile},
    {"archivefile", archiveFile},
    {"activitylist", activityList},
}};

} // namespace FileChecks
