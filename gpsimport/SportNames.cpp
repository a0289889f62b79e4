#include "RecordedRide.h"

#include <QHash>
#include <QSet>

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

// A word no name is known for, as a rider reads it: words apart, not
// joined by underscores or capitals ("Underwater_Hockey", "UnderwaterHockey"
// → "underwater hockey"); a word in capitals stays so ("HIIT").
QString readable(QStringView deviceWord)
{
    QString spaced;
    QChar previous;
    for (const QChar c : deviceWord.trimmed().left(40)) {
        if (c == u'_')
            spaced.append(u' ');
        else if (c.isUpper() && previous.isLower())
            spaced.append(u' ').append(c);
        else
            spaced.append(c);
        previous = c;
    }
    QStringList words = spaced.simplified().split(u' ', Qt::SkipEmptyParts);
    for (QString &word : words)
        if (word.size() > 1 && word.at(0).isUpper() && word.mid(1) == word.mid(1).toLower())
            word[0] = word.at(0).toLower();
    return words.join(u' ');
}
} // namespace

QString otherSportName(QStringView deviceWord)
{
    // Cycling of every kind the devices name: FIT's sport and sub-sport
    // names, GPX track types of the common apps, TCX's "Biking".
    static const QSet<QString> cycling = {
        QStringLiteral("cycling"),     QStringLiteral("biking"),         QStringLiteral("bike"),
        QStringLiteral("ebiking"),     QStringLiteral("ebike"),          QStringLiteral("ebikeride"),
        QStringLiteral("ride"),        QStringLiteral("virtualride"),    QStringLiteral("roadbiking"),
        QStringLiteral("road"),        QStringLiteral("mountain"),       QStringLiteral("mountainbiking"),
        QStringLiteral("mountainbikeride"), QStringLiteral("mtb"),       QStringLiteral("emtb"),
        QStringLiteral("gravel"),      QStringLiteral("gravelcycling"),  QStringLiteral("gravelride"),
        QStringLiteral("cyclocross"),  QStringLiteral("indoorcycling"),  QStringLiteral("trackcycling"),
        QStringLiteral("emountainbikeride"), QStringLiteral("handcycling"), QStringLiteral("handcycle"),
        QStringLiteral("indoorhandcycling"), QStringLiteral("velomobile"), QStringLiteral("recumbentcycling"),
        QStringLiteral("downhillbiking"), QStringLiteral("ebikefitness"), QStringLiteral("ebikemountain"),
        QStringLiteral("virtualcycling"), QStringLiteral("spin"),        QStringLiteral("mixedsurface"),
        QStringLiteral("touringbicycle"), QStringLiteral("etouringbicycle"), QStringLiteral("racebike"),
        QStringLiteral("eracebike"),   QStringLiteral("commuting"),      QStringLiteral("bmx"),
        QStringLiteral("touring"),     QStringLiteral("kolo"),           QStringLiteral("cyklistika"),
    };
    // Every sport of FIT's `sport` enumeration and the words the common
    // apps write for a GPX track's or a TCX activity's sport.
    static const QHash<QString, QString> others = {
        {QStringLiteral("generic"), QStringLiteral("neurčený sport")},
        {QStringLiteral("other"), QStringLiteral("jiný sport")},
        {QStringLiteral("running"), QStringLiteral("běh")},
        {QStringLiteral("run"), QStringLiteral("běh")},
        {QStringLiteral("jogging"), QStringLiteral("běh")},
        {QStringLiteral("streetrunning"), QStringLiteral("běh")},
        {QStringLiteral("trackrunning"), QStringLiteral("běh na dráze")},
        {QStringLiteral("treadmillrunning"), QStringLiteral("běh na pásu")},
        {QStringLiteral("indoorrunning"), QStringLiteral("běh na pásu")},
        {QStringLiteral("virtualrun"), QStringLiteral("virtuální běh")},
        {QStringLiteral("trailrunning"), QStringLiteral("běh v terénu")},
        {QStringLiteral("trailrun"), QStringLiteral("běh v terénu")},
        {QStringLiteral("ultrarun"), QStringLiteral("ultramaraton")},
        {QStringLiteral("walking"), QStringLiteral("chůze")},
        {QStringLiteral("walk"), QStringLiteral("chůze")},
        {QStringLiteral("casualwalking"), QStringLiteral("chůze")},
        {QStringLiteral("speedwalking"), QStringLiteral("sportovní chůze")},
        {QStringLiteral("nordicwalking"), QStringLiteral("nordic walking")},
        {QStringLiteral("indoorwalking"), QStringLiteral("chůze na pásu")},
        {QStringLiteral("hiking"), QStringLiteral("turistika")},
        {QStringLiteral("hike"), QStringLiteral("turistika")},
        {QStringLiteral("swimming"), QStringLiteral("plavání")},
        {QStringLiteral("swim"), QStringLiteral("plavání")},
        {QStringLiteral("lapswimming"), QStringLiteral("plavání v bazénu")},
        {QStringLiteral("openwaterswimming"), QStringLiteral("plavání ve volné vodě")},
        {QStringLiteral("transition"), QStringLiteral("depo")},
        {QStringLiteral("multisport"), QStringLiteral("vícesport")},
        {QStringLiteral("triathlon"), QStringLiteral("triatlon")},
        {QStringLiteral("duathlon"), QStringLiteral("duatlon")},
        {QStringLiteral("rowing"), QStringLiteral("veslování")},
        {QStringLiteral("indoorrowing"), QStringLiteral("veslařský trenažér")},
        {QStringLiteral("virtualrow"), QStringLiteral("veslařský trenažér")},
        {QStringLiteral("paddling"), QStringLiteral("pádlování")},
        {QStringLiteral("canoeing"), QStringLiteral("kanoistika")},
        {QStringLiteral("kayaking"), QStringLiteral("kajak")},
        {QStringLiteral("standuppaddleboarding"), QStringLiteral("paddleboarding")},
        {QStringLiteral("standuppaddling"), QStringLiteral("paddleboarding")},
        {QStringLiteral("rafting"), QStringLiteral("rafting")},
        {QStringLiteral("crosscountryskiing"), QStringLiteral("běh na lyžích")},
        {QStringLiteral("nordicski"), QStringLiteral("běh na lyžích")},
        {QStringLiteral("skateskiing"), QStringLiteral("běh na lyžích")},
        {QStringLiteral("rollerski"), QStringLiteral("kolečkové lyže")},
        {QStringLiteral("backcountryski"), QStringLiteral("skialpinismus")},
        {QStringLiteral("backcountryskiing"), QStringLiteral("skialpinismus")},
        {QStringLiteral("alpineskiing"), QStringLiteral("sjezdové lyžování")},
        {QStringLiteral("alpineski"), QStringLiteral("sjezdové lyžování")},
        {QStringLiteral("resortskiingsnowboarding"), QStringLiteral("sjezdové lyžování")},
        {QStringLiteral("snowboarding"), QStringLiteral("snowboarding")},
        {QStringLiteral("snowboard"), QStringLiteral("snowboarding")},
        {QStringLiteral("snowshoeing"), QStringLiteral("chůze na sněžnicích")},
        {QStringLiteral("snowshoe"), QStringLiteral("chůze na sněžnicích")},
        {QStringLiteral("snowmobiling"), QStringLiteral("sněžný skútr")},
        {QStringLiteral("inlineskating"), QStringLiteral("bruslení")},
        {QStringLiteral("inlineskate"), QStringLiteral("bruslení")},
        {QStringLiteral("iceskating"), QStringLiteral("bruslení")},
        {QStringLiteral("iceskate"), QStringLiteral("bruslení")},
        {QStringLiteral("skateboarding"), QStringLiteral("skateboard")},
        {QStringLiteral("skateboard"), QStringLiteral("skateboard")},
        {QStringLiteral("mountaineering"), QStringLiteral("horolezectví")},
        {QStringLiteral("climbing"), QStringLiteral("lezení")},
        {QStringLiteral("rockclimbing"), QStringLiteral("lezení")},
        {QStringLiteral("indoorclimbing"), QStringLiteral("lezení na stěně")},
        {QStringLiteral("bouldering"), QStringLiteral("bouldering")},
        {QStringLiteral("floorclimbing"), QStringLiteral("chůze do schodů")},
        {QStringLiteral("stairclimbing"), QStringLiteral("chůze do schodů")},
        {QStringLiteral("stairstepper"), QStringLiteral("chůze do schodů")},
        {QStringLiteral("training"), QStringLiteral("trénink")},
        {QStringLiteral("workout"), QStringLiteral("cvičení")},
        {QStringLiteral("fitnessequipment"), QStringLiteral("posilovna")},
        {QStringLiteral("strengthtraining"), QStringLiteral("posilování")},
        {QStringLiteral("weighttraining"), QStringLiteral("posilování")},
        {QStringLiteral("cardio"), QStringLiteral("kardio")},
        {QStringLiteral("cardiotraining"), QStringLiteral("kardio")},
        {QStringLiteral("crossfit"), QStringLiteral("crossfit")},
        {QStringLiteral("elliptical"), QStringLiteral("eliptický trenažér")},
        {QStringLiteral("hiit"), QStringLiteral("intervalový trénink")},
        {QStringLiteral("highintensityintervaltraining"), QStringLiteral("intervalový trénink")},
        {QStringLiteral("yoga"), QStringLiteral("jóga")},
        {QStringLiteral("pilates"), QStringLiteral("pilates")},
        {QStringLiteral("flexibilitytraining"), QStringLiteral("protahování")},
        {QStringLiteral("breathwork"), QStringLiteral("dechová cvičení")},
        {QStringLiteral("meditation"), QStringLiteral("meditace")},
        {QStringLiteral("jumprope"), QStringLiteral("švihadlo")},
        {QStringLiteral("dance"), QStringLiteral("tanec")},
        {QStringLiteral("boxing"), QStringLiteral("box")},
        {QStringLiteral("mixedmartialarts"), QStringLiteral("bojová umění")},
        {QStringLiteral("tactical"), QStringLiteral("taktický výcvik")},
        {QStringLiteral("basketball"), QStringLiteral("basketbal")},
        {QStringLiteral("soccer"), QStringLiteral("fotbal")},
        {QStringLiteral("americanfootball"), QStringLiteral("americký fotbal")},
        {QStringLiteral("tennis"), QStringLiteral("tenis")},
        {QStringLiteral("tabletennis"), QStringLiteral("stolní tenis")},
        {QStringLiteral("badminton"), QStringLiteral("badminton")},
        {QStringLiteral("squash"), QStringLiteral("squash")},
        {QStringLiteral("racket"), QStringLiteral("raketové sporty")},
        {QStringLiteral("racquetball"), QStringLiteral("raketové sporty")},
        {QStringLiteral("pickleball"), QStringLiteral("pickleball")},
        {QStringLiteral("padel"), QStringLiteral("padel")},
        {QStringLiteral("golf"), QStringLiteral("golf")},
        {QStringLiteral("discgolf"), QStringLiteral("discgolf")},
        {QStringLiteral("baseball"), QStringLiteral("baseball")},
        {QStringLiteral("cricket"), QStringLiteral("kriket")},
        {QStringLiteral("rugby"), QStringLiteral("ragby")},
        {QStringLiteral("hockey"), QStringLiteral("hokej")},
        {QStringLiteral("lacrosse"), QStringLiteral("lakros")},
        {QStringLiteral("volleyball"), QStringLiteral("volejbal")},
        {QStringLiteral("sailing"), QStringLiteral("plachtění")},
        {QStringLiteral("sail"), QStringLiteral("plachtění")},
        {QStringLiteral("boating"), QStringLiteral("plavba lodí")},
        {QStringLiteral("surfing"), QStringLiteral("surfování")},
        {QStringLiteral("windsurfing"), QStringLiteral("windsurfing")},
        {QStringLiteral("windsurf"), QStringLiteral("windsurfing")},
        {QStringLiteral("kitesurfing"), QStringLiteral("kitesurfing")},
        {QStringLiteral("kitesurf"), QStringLiteral("kitesurfing")},
        {QStringLiteral("kiteboarding"), QStringLiteral("kitesurfing")},
        {QStringLiteral("wakeboarding"), QStringLiteral("wakeboarding")},
        {QStringLiteral("wakesurfing"), QStringLiteral("wakesurfing")},
        {QStringLiteral("waterskiing"), QStringLiteral("vodní lyžování")},
        {QStringLiteral("watertubing"), QStringLiteral("jízda na vodním kruhu")},
        {QStringLiteral("diving"), QStringLiteral("potápění")},
        {QStringLiteral("snorkeling"), QStringLiteral("šnorchlování")},
        {QStringLiteral("flying"), QStringLiteral("létání")},
        {QStringLiteral("hanggliding"), QStringLiteral("závěsné létání")},
        {QStringLiteral("skydiving"), QStringLiteral("seskok padákem")},
        {QStringLiteral("jumpmaster"), QStringLiteral("výsadek padákem")},
        {QStringLiteral("motorcycling"), QStringLiteral("motocykl")},
        {QStringLiteral("driving"), QStringLiteral("jízda autem")},
        {QStringLiteral("horsebackriding"), QStringLiteral("jízda na koni")},
        {QStringLiteral("hunting"), QStringLiteral("lov")},
        {QStringLiteral("fishing"), QStringLiteral("rybaření")},
        {QStringLiteral("wheelchairpushwalk"), QStringLiteral("jízda na vozíku")},
        {QStringLiteral("wheelchairpushrun"), QStringLiteral("rychlá jízda na vozíku")},
        {QStringLiteral("wheelchair"), QStringLiteral("jízda na vozíku")},
    };
    const QString key = normalised(deviceWord);
    if (cycling.contains(key))
        return {};
    const auto found = others.constFind(key);
    if (found != others.constEnd())
        return *found;
    return QStringLiteral("jiný sport (%1)").arg(readable(deviceWord));
}

} // namespace GpsImport
