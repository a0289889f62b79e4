#include "FitSports.h"
#include "RecordedRide.h"

#include <iterator>

namespace GpsImport::Fit {

QString sportWord(int sport)
{
    static constexpr const char *names[] = {
        "generic", "running", "cycling", "transition", "fitness_equipment", "swimming", "basketball", "soccer",
        "tennis", "american_football", "training", "walking", "cross_country_skiing", "alpine_skiing",
        "snowboarding", "rowing", "mountaineering", "hiking", "multisport", "paddling", "flying", "e_biking",
        "motorcycling", "boating", "driving", "golf", "hang_gliding", "horseback_riding", "hunting", "fishing",
        "inline_skating", "rock_climbing", "sailing", "ice_skating", "sky_diving", "snowshoeing", "snowmobiling",
        "stand_up_paddleboarding", "surfing", "wakeboarding", "water_skiing", "kayaking", "rafting",
        "windsurfing", "kitesurfing", "tactical", "jumpmaster", "boxing", "floor_climbing", "baseball", nullptr,
        nullptr, nullptr, "diving", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "hiit",
        nullptr, "racket", "wheelchair_push_walk", "wheelchair_push_run", "meditation", nullptr, "disc_golf",
        nullptr, "cricket", "rugby", "hockey", "lacrosse", "volleyball", "water_tubing", "wakesurfing", nullptr,
        nullptr, "mixed_martial_arts", nullptr, "snorkeling", "dance", "jump_rope",
    };
    if (sport >= 0 && sport < int(std::size(names)) && names[sport])
        return QLatin1String(names[sport]);
    return QStringLiteral("sport %1").arg(sport);
}

bool isCyclingSubSport(int subSport)
{
    switch (subSport) {
    case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13:
    case 28: case 29: case 46: case 47: case 48: case 49: case 88:
        return true;
    default:
        return false;
    }
}

QString otherSport(int sport, int subSport, bool unnamedIsRide)
{
    if (sport == kSportCycling || sport == kSportEBiking || (sport < 0 && unnamedIsRide))
        return {};
    if ((sport < 0 || sport == kSportGeneric || sport == kSportFitnessEquipment || sport == kSportTraining)
        && isCyclingSubSport(subSport))
        return {};
    return otherSportName(sportWord(sport < 0 ? kSportGeneric : sport));
}

QString fileTypeName(int type)
{
    switch (type) {
    case 1: return QStringLiteral("zařízení");
    case 2: return QStringLiteral("nastavení");
    case 3: return QStringLiteral("sportovní profil");
    case 5: return QStringLiteral("cvičení");
    case 6: return QStringLiteral("trasa");
    case 7: return QStringLiteral("plán tréninků");
    case 9: return QStringLiteral("hmotnost");
    case 10: return QStringLiteral("souhrnné údaje");
    case 11: return QStringLiteral("cíle");
    case 14: return QStringLiteral("krevní tlak");
    case 15: case 32: return QStringLiteral("denní monitorování");
    case 20: return QStringLiteral("souhrn aktivity");
    case 28: return QStringLiteral("denní monitorování");
    case 34: return QStringLiteral("úsek");
    case 35: return QStringLiteral("seznam úseků");
    case 40: return QStringLiteral("nastavení obrazovek");
    default: return QStringLiteral("typ %1").arg(type);
    }
}

} // namespace GpsImport::Fit
