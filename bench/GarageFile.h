#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

// A "kola.ini" for the benchmarks, written whole: the bikes (the first one
// the default, the last one retired when there are several) and on each
// of them three parts with a history over the days from `first` to
// `last`: mounted at the start, serviced about once a year, now and then
// moved to another bike or replaced by a new one; intervals in km, in
// months, both or none. The same file for the same arguments. The number
// of parts.
int writeGarageFile(const QString &path, const QStringList &bikes, const QDate &first, const QDate &last);
