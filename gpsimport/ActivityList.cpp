#include "CsvRecords.h"
#include "RideArchive.h"

#include <QIODevice>

#include <array>
#include <initializer_list>

namespace GpsImport {

namespace {

// The headings of the columns read, as the exports word them in English,
// Czech, German, Spanish and French (compared folded, trimmed).
const std::initializer_list<const char16_t *> kNameHeadings = {
    u"activity name", u"název aktivity", u"aktivitätsname", u"name der aktivität",
    u"nombre de la actividad", u"nom de l'activité", u"nom de l'activite"};
const std::initializer_list<const char16_t *> kTypeHeadings = {
    u"activity type", u"typ aktivity", u"aktivitätstyp", u"aktivitätsart", u"art der aktivität",
    u"tipo de actividad", u"type d'activité", u"type d'activite"};
const std::initializer_list<const char16_t *> kGearHeadings = {
    u"activity gear", u"vybavení aktivity", u"aktivitätsausrüstung", u"ausrüstung der aktivität",
    u"equipo de la actividad", u"material de la actividad", u"équipement de l'activité",
    u"équipement d'activité"};
const std::initializer_list<const char16_t *> kFileHeadings = {
    u"filename", u"file name", u"název souboru", u"dateiname", u"nombre de archivo",
    u"nombre del archivo", u"nom de fichier", u"nom du fichier"};

QString headingKey(const QString &heading)
{
    QString key = heading.trimmed().toCaseFolded();
    key.remove(QChar(0xFEFF));
    key.replace(QChar(0x2019), u'\''); // a typographic apostrophe
    return key;
}

// The first column whose heading is one of `words`; -1 when none is.
qsizetype columnOf(const QStringList &keys, std::initializer_list<const char16_t *> words)
{
    for (qsizetype i = 0; i < keys.size(); ++i)
        for (const char16_t *word : words)
            if (keys.at(i) == QStringView(word))
                return i;
    return -1;
}

QString cell(const QStringList &fields, qsizetype column)
{
    return column >= 0 && column < fields.size() ? fields.at(column).trimmed() : QString();
}

// A file name as the list's key: '/' between folders, no leading "./".
QString fileKey(QString name)
{
    name = name.trimmed();
    name.replace(u'\\', u'/');
    while (name.startsWith(QStringLiteral("./")))
        name.remove(0, 2);
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    return name;
}

QString folded(const QString &key)
{
    QString f = key.toCaseFolded();
    if (f.endsWith(QStringLiteral(".gz")))
        f.chop(3);
    return f;
}

} // namespace

ActivityList readActivityList(QIODevice &in, const StopFlag &stop)
{
    ActivityList list;
    CsvRecords records(in, stop);
    QStringList fields;
    if (!records.next(fields)) {
        list.problem = QStringLiteral("seznam aktivit je prázdný");
        return list;
    }
    QStringList keys;
    for (const QString &heading : std::as_const(fields))
        keys.append(headingKey(heading));
    const qsizetype file = columnOf(keys, kFileHeadings);
    if (file < 0) {
        list.problem = QStringLiteral("seznam aktivit nemá sloupec s názvem souboru");
        return list;
    }
    const qsizetype name = columnOf(keys, kNameHeadings);
    const qsizetype type = columnOf(keys, kTypeHeadings);
    const qsizetype gear = columnOf(keys, kGearHeadings);
    while (records.next(fields)) {
        if (fields.size() <= file)
            continue;
        const QString key = fileKey(fields.at(file));
        if (key.isEmpty() || list.byFile.contains(key))
            continue;
        list.byFile.insert(key, {cell(fields, name), cell(fields, type), cell(fields, gear)});
        list.keyByFolded.insert(folded(key), key);
    }
    return list;
}

const ListedActivity *listedActivity(const ActivityList &list, const QString &member)
{
    const QString key = fileKey(member);
    if (const auto found = list.byFile.constFind(key); found != list.byFile.constEnd())
        return &*found;
    const auto folding = list.keyByFolded.constFind(folded(key));
    if (folding == list.keyByFolded.constEnd())
        return nullptr;
    const auto found = list.byFile.constFind(*folding);
    return found == list.byFile.constEnd() ? nullptr : &*found;
}

} // namespace GpsImport
