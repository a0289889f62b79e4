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

// A device's word (normalised) and the name the rider reads for it.
struct SportName
{
    QStringView word;
    QStringView name;
};

// Cycling of every kind the devices name: FIT's sport and sub-sport
// names, GPX track types of the common apps, TCX's "Biking".
constexpr QStringView kCyclingWords[] = {
    u"cycling",     u"biking",         u"bike",
    u"ebiking",     u"ebike",          u"ebikeride",
    u"ride",        u"virtualride",    u"roadbiking",
    u"road",        u"mountain",       u"mountainbiking",
    u"mountainbikeride", u"mtb",       u"emtb",
    u"gravel",      u"gravelcycling",  u"gravelride",
    u"cyclocross",  u"indoorcycling",  u"trackcycling",
    u"emountainbikeride", u"handcycling", u"handcycle",
    u"indoorhandcycling", u"velomobile", u"recumbentcycling",
    u"downhillbiking", u"ebikefitness", u"ebikemountain",
    u"virtualcycling", u"spin",        u"mixedsurface",
    u"touringbicycle", u"etouringbicycle", u"racebike",
    u"eracebike",   u"commuting",      u"bmx",
    u"touring",     u"kolo",           u"cyklistika",
    // The activity types of an online service's export, in its Czech,
    // German, Spanish and French wording.
    u"jízdanakole", u"virtuálníjízda", u"jízdanaelektrokole",
    u"jízdanahorskémkole", u"jízdanahorskémelektrokole", u"jízdanagravelu",
    u"gravelovájízda", u"ručníkolo",   u"velomobil",
    u"radfahrt",    u"virtuelleradfahrt", u"ebikefahrt",
    u"mountainbikefahrt", u"gravelfahrt", u"radfahren",
    u"ciclismo",    u"bicicleta",      u"ciclismovirtual",
    u"vélo",        u"sortieàvélo",    u"vélovirtuel",
};

// Every sport of FIT's `sport` enumeration and the words the common
// apps write for a GPX track's or a TCX activity's sport.
constexpr SportName kOtherSports[] = {
    {u"generic", u"neurčený sport"},
    {u"other", u"jiný sport"},
    {u"running", u"běh"},
    {u"run", u"běh"},
    {u"jogging", u"běh"},
    {u"streetrunning", u"běh"},
    {u"trackrunning", u"běh na dráze"},
    {u"treadmillrunning", u"běh na pásu"},
    {u"indoorrunning", u"běh na pásu"},
    {u"virtualrun", u"virtuální běh"},
    {u"trailrunning", u"běh v terénu"},
    {u"trailrun", u"běh v terénu"},
    {u"ultrarun", u"ultramaraton"},
    {u"walking", u"chůze"},
    {u"walk", u"chůze"},
    {u"casualwalking", u"chůze"},
    {u"speedwalking", u"sportovní chůze"},
    {u"nordicwalking", u"nordic walking"},
    {u"indoorwalking", u"chůze na pásu"},
    {u"hiking", u"turistika"},
    {u"hike", u"turistika"},
    {u"swimming", u"plavání"},
    {u"swim", u"plavání"},
    {u"lapswimming", u"plavání v bazénu"},
    {u"openwaterswimming", u"plavání ve volné vodě"},
    {u"transition", u"depo"},
    {u"multisport", u"vícesport"},
    {u"triathlon", u"triatlon"},
    {u"duathlon", u"duatlon"},
    {u"rowing", u"veslování"},
    {u"indoorrowing", u"veslařský trenažér"},
    {u"virtualrow", u"veslařský trenažér"},
    {u"paddling", u"pádlování"},
    {u"canoeing", u"kanoistika"},
    {u"kayaking", u"kajak"},
    {u"standuppaddleboarding", u"paddleboarding"},
    {u"standuppaddling", u"paddleboarding"},
    {u"rafting", u"rafting"},
    {u"crosscountryskiing", u"běh na lyžích"},
    {u"nordicski", u"běh na lyžích"},
    {u"skateskiing", u"běh na lyžích"},
    {u"rollerski", u"kolečkové lyže"},
    {u"backcountryski", u"skialpinismus"},
    {u"backcountryskiing", u"skialpinismus"},
    {u"alpineskiing", u"sjezdové lyžování"},
    {u"alpineski", u"sjezdové lyžování"},
    {u"resortskiingsnowboarding", u"sjezdové lyžování"},
    {u"snowboarding", u"snowboarding"},
    {u"snowboard", u"snowboarding"},
    {u"snowshoeing", u"chůze na sněžnicích"},
    {u"snowshoe", u"chůze na sněžnicích"},
    {u"snowmobiling", u"sněžný skútr"},
    {u"inlineskating", u"bruslení"},
    {u"inlineskate", u"bruslení"},
    {u"iceskating", u"bruslení"},
    {u"iceskate", u"bruslení"},
    {u"skateboarding", u"skateboard"},
    {u"skateboard", u"skateboard"},
    {u"mountaineering", u"horolezectví"},
    {u"climbing", u"lezení"},
    {u"rockclimbing", u"lezení"},
    {u"indoorclimbing", u"lezení na stěně"},
    {u"bouldering", u"bouldering"},
    {u"floorclimbing", u"chůze do schodů"},
    {u"stairclimbing", u"chůze do schodů"},
    {u"stairstepper", u"chůze do schodů"},
    {u"training", u"trénink"},
    {u"workout", u"cvičení"},
    {u"fitnessequipment", u"posilovna"},
    {u"strengthtraining", u"posilování"},
    {u"weighttraining", u"posilování"},
    {u"cardio", u"kardio"},
    {u"cardiotraining", u"kardio"},
    {u"crossfit", u"crossfit"},
    {u"elliptical", u"eliptický trenažér"},
    {u"hiit", u"intervalový trénink"},
    {u"highintensityintervaltraining", u"intervalový trénink"},
    {u"yoga", u"jóga"},
    {u"pilates", u"pilates"},
    {u"flexibilitytraining", u"protahování"},
    {u"breathwork", u"dechová cvičení"},
    {u"meditation", u"meditace"},
    {u"jumprope", u"švihadlo"},
    {u"dance", u"tanec"},
    {u"boxing", u"box"},
    {u"mixedmartialarts", u"bojová umění"},
    {u"tactical", u"taktický výcvik"},
    {u"basketball", u"basketbal"},
    {u"soccer", u"fotbal"},
    {u"americanfootball", u"americký fotbal"},
    {u"tennis", u"tenis"},
    {u"tabletennis", u"stolní tenis"},
    {u"badminton", u"badminton"},
    {u"squash", u"squash"},
    {u"racket", u"raketové sporty"},
    {u"racquetball", u"raketové sporty"},
    {u"pickleball", u"pickleball"},
    {u"padel", u"padel"},
    {u"golf", u"golf"},
    {u"discgolf", u"discgolf"},
    {u"baseball", u"baseball"},
    {u"cricket", u"kriket"},
    {u"rugby", u"ragby"},
    {u"hockey", u"hokej"},
    {u"lacrosse", u"lakros"},
    {u"volleyball", u"volejbal"},
    {u"sailing", u"plachtění"},
    {u"sail", u"plachtění"},
    {u"boating", u"plavba lodí"},
    {u"surfing", u"surfování"},
    {u"windsurfing", u"windsurfing"},
    {u"windsurf", u"windsurfing"},
    {u"kitesurfing", u"kitesurfing"},
    {u"kitesurf", u"kitesurfing"},
    {u"kiteboarding", u"kitesurfing"},
    {u"wakeboarding", u"wakeboarding"},
    {u"wakesurfing", u"wakesurfing"},
    {u"waterskiing", u"vodní lyžování"},
    {u"watertubing", u"jízda na vodním kruhu"},
    {u"diving", u"potápění"},
    {u"snorkeling", u"šnorchlování"},
    {u"flying", u"létání"},
    {u"hanggliding", u"závěsné létání"},
    {u"skydiving", u"seskok padákem"},
    {u"jumpmaster", u"výsadek padákem"},
    {u"motorcycling", u"motocykl"},
    {u"driving", u"jízda autem"},
    {u"horsebackriding", u"jízda na koni"},
    {u"hunting", u"lov"},
    {u"fishing", u"rybaření"},
    {u"wheelchairpushwalk", u"jízda na vozíku"},
    {u"wheelchairpushrun", u"rychlá jízda na vozíku"},
    {u"wheelchair", u"jízda na vozíku"},
    // The same export's other activity types in Czech, German, Spanish
    // and French.
    {u"běh", u"běh"},
    {u"virtuálníběh", u"virtuální běh"},
    {u"běhvterénu", u"běh v terénu"},
    {u"chůze", u"chůze"},
    {u"procházka", u"chůze"},
    {u"turistika", u"turistika"},
    {u"túra", u"turistika"},
    {u"plavání", u"plavání"},
    {u"lauf", u"běh"},
    {u"laufen", u"běh"},
    {u"spaziergang", u"chůze"},
    {u"gehen", u"chůze"},
    {u"wanderung", u"turistika"},
    {u"wandern", u"turistika"},
    {u"schwimmen", u"plavání"},
    {u"carrera", u"běh"},
    {u"caminata", u"chůze"},
    {u"senderismo", u"turistika"},
    {u"natación", u"plavání"},
    {u"courseàpied", u"běh"},
    {u"marche", u"chůze"},
    {u"randonnée", u"turistika"},
    {u"natation", u"plavání"},
};
} // namespace

QString otherSportName(QStringView deviceWord)
{
    static const QSet<QString> cycling = [] {
        QSet<QString> words;
        for (const QStringView word : kCyclingWords)
            words.insert(word.toString());
        return words;
    }();
    static const QHash<QString, QString> others = [] {
        QHash<QString, QString> names;
        for (const SportName &sport : kOtherSports)
            names.insert(sport.word.toString(), sport.name.toString());
        return names;
    }();
    const QString key = normalised(deviceWord);
    if (cycling.contains(key))
        return {};
    const auto found = others.constFind(key);
    if (found != others.constEnd())
        return *found;
    return QStringLiteral("jiný sport (%1)").arg(readable(deviceWord));
}

} // namespace GpsImport
