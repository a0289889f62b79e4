#pragma once

namespace GpsImport {

// Whether readGpx measures the distances of a long file on a thread of its
// own while it goes on parsing (the default). Off, a reading uses only its
// caller's thread: for measuring the work of one thread.
void setGpxMeasuringThread(bool on);

} // namespace GpsImport
