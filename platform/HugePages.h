#pragma once
#include <cstddef>

// Large memory that is filled at once (a long file as it is read, the
// rows built from it) is asked to take huge pages where the system offers
// them: touching a fresh page costs more than writing its bytes.
namespace HugePages {

inline constexpr size_t kBytes = size_t(2) << 20;

// Asks the system to back the whole huge pages of the range with huge
// pages when they are first touched; only a hint.
void advise(void *data, size_t size);

} // namespace HugePages
