// Placeholder until the FIT reader lands.
#include "RecordedRide.h"
namespace GpsImport {
FileRides readFit(QIODevice &, const StopFlag &) { return {{}, QStringLiteral("FIT zatím nelze číst")}; }
}
