// Placeholder until the TCX reader lands.
#include "RecordedRide.h"
namespace GpsImport {
FileRides readTcx(QIODevice &, const StopFlag &) { return {{}, QStringLiteral("TCX zatím nelze číst")}; }
}
