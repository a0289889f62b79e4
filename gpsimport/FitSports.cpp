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

} // namespace GpsImport::Fit
