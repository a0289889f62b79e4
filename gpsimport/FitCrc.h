#pragma once
#include <cstddef>
#include <cstdint>

// The CRC-16 of FIT files (polynomial 0x8005, bits reflected, starting
// at 0): over a file's header and data it must equal the two bytes that
// end the file. A running value goes from one call to the next.
namespace GpsImport::FitCrc {

// The fastest way this processor has (carry-less multiplication where it
// exists, else eight bytes per step from tables).
std::uint16_t update(std::uint16_t crc, const unsigned char *data, std::size_t size);

// The ways `update` may take, each on its own for comparison.
std::uint16_t updateNibbles(std::uint16_t crc, const unsigned char *data, std::size_t size); // four bits per step
std::uint16_t updateTables(std::uint16_t crc, const unsigned char *data, std::size_t size);  // eight bytes per step
// Carry-less multiplication; false when the processor cannot do it.
bool updateFolding(std::uint16_t &crc, const unsigned char *data, std::size_t size);
// The same 64 bytes to a register (AVX-512); false when the processor cannot.
bool updateFoldingWide(std::uint16_t &crc, const unsigned char *data, std::size_t size);

} // namespace GpsImport::FitCrc
