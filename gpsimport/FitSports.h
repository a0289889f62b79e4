#pragma once
#include <QString>

// The sports of a FIT file: its `sport` and `sub_sport` numbers, and
// which of them make a bike ride; and the kinds of FIT files.
namespace GpsImport::Fit {

inline constexpr int kSportGeneric = 0;
inline constexpr int kSportCycling = 2;
inline constexpr int kSportFitnessEquipment = 4;
inline constexpr int kSportTraining = 10;
inline constexpr int kSportEBiking = 21;

// FIT's name of a sport (the `sport` enumeration): "running"; "sport N"
// for a number FIT does not name.
QString sportWord(int sport);

// Sub-sports that make a ride of a session on a machine or of no stated
// sport (indoor cycling, road, mountain, gravel, e-bike, …).
bool isCyclingSubSport(int subSport);

// The Czech name of the sport of a session (`sport` below 0 when neither
// the session nor the file names one); empty for a bike ride. A session
// of no sport is no ride unless its sub-sport makes it one: sensors that
// are no bike computer (a heart-rate strap, a muscle-oxygen sensor) write
// such sessions. The points of a file cut short before it named its sport
// are taken for a ride (`unnamedIsRide`).
QString otherSport(int sport, int subSport, bool unnamedIsRide = false);

// What a FIT file of this `file_id` type holds other than an activity, in
// the rider's words ("nastavení", "trasa"); "typ N" for another number.
QString fileTypeName(int type);

} // namespace GpsImport::Fit
