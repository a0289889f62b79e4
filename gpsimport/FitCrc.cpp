#include "FitCrc.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FITCRC_FOLDING 1
#include <immintrin.h>
#endif

namespace GpsImport::FitCrc {

namespace {

// The reflected polynomial: x^16 + x^15 + x^2 + 1 read from its low end.
constexpr std::uint16_t kReflected = 0xA001;

// tables[k][b]: the register after byte b followed by k zero bytes.
constexpr auto kTables = [] {
    std::array<std::array<std::uint16_t, 256>, 8> t{};
    for (unsigned b = 0; b < 256; ++b) {
        std::uint16_t r = std::uint16_t(b);
        for (int i = 0; i < 8; ++i)
            r = (r & 1) ? std::uint16_t((r >> 1) ^ kReflected) : std::uint16_t(r >> 1);
        t[0][b] = r;
    }
    for (unsigned b = 0; b < 256; ++b)
        for (int k = 1; k < 8; ++k)
            t[k][b] = std::uint16_t((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
    return t;
}();

inline std::uint16_t byteStep(std::uint16_t crc, unsigned char b)
{
    return std::uint16_t((crc >> 8) ^ kTables[0][(crc ^ b) & 0xFF]);
}

} // namespace

std::uint16_t updateNibbles(std::uint16_t crc, const unsigned char *data, std::size_t size)
{
    static constexpr std::uint16_t table[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                                0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = data[i];
        std::uint16_t tmp = table[crc & 0xF];
        crc = (crc >> 4) & 0x0FFF;
        crc = crc ^ tmp ^ table[b & 0xF];
        tmp = table[crc & 0xF];
        crc = (crc >> 4) & 0x0FFF;
        crc = crc ^ tmp ^ table[(b >> 4) & 0xF];
    }
    return crc;
}

std::uint16_t updateTables(std::uint16_t crc, const unsigned char *data, std::size_t size)
{
    const auto &t = kTables;
    while (size >= 8) {
        const unsigned a = data[0] ^ (crc & 0xFF);
        const unsigned b = data[1] ^ (crc >> 8);
        crc = std::uint16_t(t[7][a] ^ t[6][b] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]]
                            ^ t[1][data[6]] ^ t[0][data[7]]);
        data += 8;
        size -= 8;
    }
    while (size--)
        crc = byteStep(crc, *data++);
    return crc;
}

#ifdef FITCRC_FOLDING

namespace {

// x^n modulo the polynomial, as a register of 64 reflected bits (x^d at
// bit 63 - d), the form carry-less multiplication of reflected data needs.
constexpr std::uint64_t reflectedPower(int n)
{
    std::uint32_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x10000)
            r ^= 0x18005;
    }
    std::uint64_t c = 0;
    for (int d = 0; d < 16; ++d)
        if (r & (1u << d))
            c |= std::uint64_t(1) << (63 - d);
    return c;
}

// The pair of powers that moves a block `bits` further on, worked out
// when the program is built.
template<int bits>
inline __m128i by()
{
    static constexpr std::uint64_t high = reflectedPower(bits - 1), low = reflectedPower(bits + 63);
    return _mm_set_epi64x(std::int64_t(high), std::int64_t(low));
}

// The same pair in each of the four blocks of a 512-bit register.
template<int bits>
__attribute__((target("avx512f"))) inline __m512i by4()
{
    static constexpr auto high = std::int64_t(reflectedPower(bits - 1)), low = std::int64_t(reflectedPower(bits + 63));
    return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}

// Sixteen bytes are a polynomial whose low register half holds the high
// powers. Moving a block n bits further on multiplies it by x^n: its low
// half by x^(n+64) and its high half by x^n, each reduced; one bit less,
// since the product of reflected registers comes one bit short.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i acc, __m128i k)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) std::uint16_t foldingBody(std::uint16_t crc, const unsigned char *data,
                                                                      std::size_t size)
{
    const __m128i by128 = by<128>();
    const __m128i by512 = by<512>();
    const auto load = [](const unsigned char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
    // A starting register is the same as its bytes added to the first two.
    const __m128i start = _mm_cvtsi32_si128(crc);
    __m128i a0 = _mm_xor_si128(load(data), start);
    __m128i a1 = load(data + 16), a2 = load(data + 32), a3 = load(data + 48);
    data += 64;
    size -= 64;
    while (size >= 64) {
        a0 = _mm_xor_si128(fold(a0, by512), load(data));
        a1 = _mm_xor_si128(fold(a1, by512), load(data + 16));
        a2 = _mm_xor_si128(fold(a2, by512), load(data + 32));
        a3 = _mm_xor_si128(fold(a3, by512), load(data + 48));
        data += 64;
        size -= 64;
    }
    __m128i acc = _mm_xor_si128(fold(a0, by128), a1);
    acc = _mm_xor_si128(fold(acc, by128), a2);
    acc = _mm_xor_si128(fold(acc, by128), a3);
    while (size >= 16) {
        acc = _mm_xor_si128(fold(acc, by128), load(data));
        data += 16;
        size -= 16;
    }
    // What is left is congruent to all that went before: its CRC from
    // zero is theirs.
    alignas(16) unsigned char rest[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(rest), acc);
    return updateTables(updateTables(0, rest, 16), data, size);
}

// The same with 64 bytes to a register where the processor has 512-bit
// carry-less multiplication: four registers of four blocks each, folded
// 256 bytes on at a step, then into one block.
__attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1"))) inline __m512i fold4(__m512i acc, __m512i k)
{
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(acc, k, 0x00), _mm512_clmulepi64_epi128(acc, k, 0x11));
}

__attribute__((target("avx512f"))) inline __m512i load64(const unsigned char *p)
{
    return _mm512_loadu_si512(p);
}

__attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1"))) std::uint16_t wideBody(std::uint16_t crc,
                                                                                  const unsigned char *data,
                                                                                  std::size_t size)
{
    const __m512i by2048 = by4<2048>();
    const __m512i by512 = by4<512>();
    __m512i a0 = _mm512_xor_si512(load64(data), _mm512_zextsi128_si512(_mm_cvtsi32_si128(crc)));
    __m512i a1 = load64(data + 64), a2 = load64(data + 128), a3 = load64(data + 192);
    data += 256;
    size -= 256;
    while (size >= 256) {
        a0 = _mm512_xor_si512(fold4(a0, by2048), load64(data));
        a1 = _mm512_xor_si512(fold4(a1, by2048), load64(data + 64));
        a2 = _mm512_xor_si512(fold4(a2, by2048), load64(data + 128));
        a3 = _mm512_xor_si512(fold4(a3, by2048), load64(data + 192));
        data += 256;
        size -= 256;
    }
    __m512i wide = _mm512_xor_si512(fold4(a0, by512), a1);
    wide = _mm512_xor_si512(fold4(wide, by512), a2);
    wide = _mm512_xor_si512(fold4(wide, by512), a3);
    while (size >= 64) {
        wide = _mm512_xor_si512(fold4(wide, by512), load64(data));
        data += 64;
        size -= 64;
    }
    // The four blocks of the register, each moved on to the last one.
    alignas(64) __m128i blocks[4];
    _mm512_store_si512(blocks, wide);
    __m128i acc = _mm_xor_si128(fold(blocks[0], by<384>()), fold(blocks[1], by<256>()));
    acc = _mm_xor_si128(acc, fold(blocks[2], by<128>()));
    acc = _mm_xor_si128(acc, blocks[3]);
    const __m128i by128 = by<128>();
    while (size >= 16) {
        acc = _mm_xor_si128(fold(acc, by128), _mm_loadu_si128(reinterpret_cast<const __m128i *>(data)));
        data += 16;
        size -= 16;
    }
    alignas(16) unsigned char rest[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(rest), acc);
    return updateTables(updateTables(0, rest, 16), data, size);
}

bool canFold()
{
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}

bool canFoldWide()
{
    static const bool can = canFold() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
    return can;
}

} // namespace

bool updateFolding(std::uint16_t &crc, const unsigned char *data, std::size_t size)
{
    if (!canFold())
        return false;
    crc = size >= 64 ? foldingBody(crc, data, size) : updateTables(crc, data, size);
    return true;
}

bool updateFoldingWide(std::uint16_t &crc, const unsigned char *data, std::size_t size)
{
    if (!canFoldWide())
        return false;
    crc = size >= 256 ? wideBody(crc, data, size) : updateTables(crc, data, size);
    return true;
}

std::uint16_t update(std::uint16_t crc, const unsigned char *data, std::size_t size)
{
    if (size >= 256 && canFoldWide())
        return wideBody(crc, data, size);
    if (size >= 256 && canFold())
        return foldingBody(crc, data, size);
    return updateTables(crc, data, size);
}

#else

bool updateFolding(std::uint16_t &, const unsigned char *, std::size_t)
{
    return false;
}

bool updateFoldingWide(std::uint16_t &, const unsigned char *, std::size_t)
{
    return false;
}

std::uint16_t update(std::uint16_t crc, const unsigned char *data, std::size_t size)
{
    return updateTables(crc, data, size);
}

#endif

} // namespace GpsImport::FitCrc
