#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

// The fields of FIT data messages: how a field's bytes make a number, by
// the field's base type, and the value of each type that means "not set".
// Inline: a data message of a large file costs a few loads per field.
namespace GpsImport::Fit {

// How a field's bytes make a number, from its base type, with the value
// that means "not set".
enum Kind : std::uint8_t { kAbsent, kU8, kS8, kU8z, kU16, kS16, kU16z, kU32, kS32, kU32z, kU64, kS64, kU64z, kF32, kF64 };

constexpr Kind kindOf(std::uint8_t baseType)
{
    switch (baseType & 0x1F) {
    case 0: case 2: case 13: return kU8; // enum, uint8, byte
    case 1: return kS8;
    case 3: return kS16;
    case 4: return kU16;
    case 5: return kS32;
    case 6: return kU32;
    case 8: return kF32;
    case 9: return kF64;
    case 10: return kU8z;
    case 11: return kU16z;
    case 12: return kU32z;
    case 14: return kS64;
    case 15: return kU64;
    case 16: return kU64z;
    default: return kAbsent; // strings and unknown types carry no number
    }
}

constexpr int sizeOf(Kind k)
{
    switch (k) {
    case kU8: case kS8: case kU8z: return 1;
    case kU16: case kS16: case kU16z: return 2;
    case kU32: case kS32: case kU32z: case kF32: return 4;
    case kU64: case kS64: case kU64z: case kF64: return 8;
    default: return 0;
    }
}

// Where one wanted field lies in a data message, and how to read it.
struct Slot
{
    std::uint32_t offset = 0;
    Kind kind = kAbsent;
};

template<typename T>
inline T load(const unsigned char *p, bool big)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    if (big) {
        if constexpr (sizeof(T) == 2)
            v = T(__builtin_bswap16(std::uint16_t(v)));
        else if constexpr (sizeof(T) == 4)
            v = T(__builtin_bswap32(std::uint32_t(v)));
        else if constexpr (sizeof(T) == 8)
            v = T(__builtin_bswap64(std::uint64_t(v)));
    }
    return v;
}

inline bool fromFloat(double d, std::int64_t &out)
{
    if (!(std::isfinite(d) && std::fabs(d) < 9.0e18))
        return false;
    out = std::int64_t(std::llround(d));
    return true;
}

// The field's number, false when the message does not set it.
[[gnu::always_inline]] inline bool read(const unsigned char *msg, Slot s, bool big, std::int64_t &out)
{
    const unsigned char *p = msg + s.offset;
    switch (s.kind) {
    case kAbsent: return false;
    case kU8: out = p[0]; return p[0] != 0xFF;
    case kS8: out = std::int8_t(p[0]); return p[0] != 0x7F;
    case kU8z: out = p[0]; return p[0] != 0;
    case kU16: out = load<std::uint16_t>(p, big); return out != 0xFFFF;
    case kS16: out = load<std::int16_t>(p, big); return out != 0x7FFF;
    case kU16z: out = load<std::uint16_t>(p, big); return out != 0;
    case kU32: out = load<std::uint32_t>(p, big); return out != 0xFFFFFFFF;
    case kS32: out = load<std::int32_t>(p, big); return out != 0x7FFFFFFF;
    case kU32z: out = load<std::uint32_t>(p, big); return out != 0;
    case kU64: {
        const std::uint64_t v = load<std::uint64_t>(p, big);
        out = std::int64_t(v);
        return v != ~std::uint64_t(0) && v <= std::uint64_t(INT64_MAX);
    }
    case kS64: out = load<std::int64_t>(p, big); return out != INT64_MAX;
    case kU64z: {
        const std::uint64_t v = load<std::uint64_t>(p, big);
        out = std::int64_t(v);
        return v != 0 && v <= std::uint64_t(INT64_MAX);
    }
    case kF32: {
        const std::uint32_t bits = load<std::uint32_t>(p, big);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return bits != 0xFFFFFFFF && fromFloat(f, out);
    }
    case kF64: {
        const std::uint64_t bits = load<std::uint64_t>(p, big);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return bits != ~std::uint64_t(0) && fromFloat(d, out);
    }
    }
    return false;
}

// A FIT time read into a 32-bit count.
[[gnu::always_inline]] inline bool readTime(const unsigned char *msg, Slot s, bool big, std::uint32_t &out)
{
    std::int64_t v;
    if (!read(msg, s, big, v) || v < 0 || v > 0xFFFFFFFE)
        return false;
    out = std::uint32_t(v);
    return true;
}

} // namespace GpsImport::Fit
