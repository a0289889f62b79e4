#include "RecordedRide.h"

#include <QHash>

namespace GpsImport {

namespace {
// A device's word for a sport, lower case, with blanks, dashes and
// underscores dropped ("Trail_Running", "trail running" → "trailrunning").
QString normalised(QStringView word)
{
    QString key;
    key.reserve(word.size());
    for (const QChar c : word)
        if (c.isLetterOrNumber())
            key.append(c.toLower());
    return key;
}
} // namespace

QString otherSportName(QStringView deviceWord)
{
    // Cycling of every kind the devices name: FIT's sport and sub-sport
    // names, GPX track types of the common apps, TCX's "Biking".
    static const QStringList cycling = {
        QStringLiteral("cycling"),     QStringLiteral("biking"),         QStringLiteral("bike"),
        QStringLiteral("ebiking"),     QStringLiteral("ebike"),          QStringLiteral("ebikeride"),
        QStringLiteral("ride"),        QStringLiteral("virtualride"),    QStringLiteral("roadbiking"),
        QStringLiteral("road"),        QStringLiteral("mountain"),       QStringLiteral("mountainbiking"),
        QStringLiteral("gravel"),      QStringLiteral("gravelcycling"),  QStringLiteral("gravelride"),
        QStringLiteral("cyclocross"),  QStringLiteral("indoorcycling"),  QStringLiteral("trackcycling"),
        QStringLiteral("emountainbikeride"), QStringLiteral("handcycling"), QStringLiteral("velomobile"),
        QStringLiteral("commuting"),   QStringLiteral("bmx"),            QStringLiteral("touring"),
        QStringLiteral("kolo"),        QStringLiteral("cyklistika"),
    };
    static const QHash<QString, QString> others = {
        {QStringLiteral("running"), QStringLiteral("běh")},
        {QStringLiteral("run"), QStringLiteral("běh")},
        {QStringLiteral("trailrunning"), QStringLiteral("běh v terénu")},
        {QStringLiteral("walking"), QStringLiteral("chůze")},
        {QStringLiteral("walk"), QStringLiteral("chůze")},
        {QStringLiteral("hiking"), QStringLiteral("turistika")},
        {QStringLiteral("hike"), QStringLiteral("turistika")},
        {QStringLiteral("swimming"), QStringLiteral("plavání")},
        {QStringLiteral("swim"), QStringLiteral("plavání")},
        {QStringLiteral("transition"), QStringLiteral("depo")},
        {QStringLiteral("multisport"), QStringLiteral("vícesport")},
        {QStringLiteral("triathlon"), QStringLiteral("triatlon")},
        {QStringLiteral("rowing"), QStringLiteral("veslování")},
        {QStringLiteral("paddling"), QStringLiteral("pádlování")},
        {QStringLiteral("kayaking"), QStringLiteral("kajak")},
        {QStringLiteral("crosscountryskiing"), QStringLiteral("běh na lyžích")},
        {QStringLiteral("nordicski"), QStringLiteral("běh na lyžích")},
        {QStringLiteral("alpineskiing"), QStringLiteral("sjezdové lyžování")},
        {QStringLiteral("alpineski"), QStringLiteral("sjezdové lyžování")},
        {QStringLiteral("snowboarding"), QStringLiteral("snowboarding")},
        {QStringLiteral("inlineskating"), QStringLiteral("bruslení")},
        {QStringLiteral("iceskating"), QStringLiteral("bruslení")},
        {QStringLiteral("mountaineering"), QStringLiteral("horolezectví")},
        {QStringLiteral("climbing"), QStringLiteral("lezení")},
        {QStringLiteral("training"), QStringLiteral("trénink")},
        {QStringLiteral("fitnessequipment"), QStringLiteral("posilovna")},
        {QStringLiteral("motorcycling"), QStringLiteral("motocykl")},
        {QStringLiteral("driving"), QStringLiteral("jízda autem")},
        {QStringLiteral("sailing"), QStringLiteral("plachtění")},
        {QStringLiteral("generic"), QStringLiteral("neurčený sport")},
        {QStringLiteral("other"), QStringLiteral("jiný sport")},
    };
    const QString key = normalised(deviceWord);
    if (cycling.contains(key))
        return {};
    const auto found = others.constFind(key);
    if (found != others.constEnd())
        return *found;
    return QStringLiteral("jiný sport (%1)").arg(deviceWord.trimmed().left(40));
}

} // namespace GpsImport
