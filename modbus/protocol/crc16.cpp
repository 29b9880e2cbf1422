#include "crc16.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__)
#include <emmintrin.h>
#include <tmmintrin.h>
#include <wmmintrin.h>
#endif

namespace vane::modbus {

unsigned short crc16Modbus(const QByteArray& bytes, int length)
{
    const int present = std::min(std::max(length, 0), bytes.size());
    unsigned int crc = crc16Modbus(bytes.constData(), present);
    // Positions beyond the array count as 0 bytes.
    static const char zero = 0;
    for (int i = present; i < length; ++i)
        crc = crc16Modbus(&zero, 1, crc);
    return static_cast<unsigned short>(crc);
}

namespace {

// One step of the rule: the register times x, reduced by the polynomial (0xA001 is x^16 + x^15 +
// x^2 + 1 in the register's bit order, where bit j holds the coefficient of x^(15 - j)).
constexpr unsigned int timesX(unsigned int crc) { return (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1; }

// shift[k][v]: what a byte v in the CRC's low byte becomes after its own eight shifts and those
// of k bytes of 0 behind it. shift[0] is the rule itself, applied bit by bit.
struct ShiftTables {
    unsigned short shift[8][256] = {};
    constexpr ShiftTables()
    {
        for (unsigned int low = 0; low < 256; ++low) {
            unsigned int crc = low;
            for (int bit = 0; bit < 8; ++bit)
                crc = timesX(crc);
            shift[0][low] = static_cast<unsigned short>(crc);
        }
        for (int k = 1; k < 8; ++k)
            for (unsigned int low = 0; low < 256; ++low)
                shift[k][low] = static_cast<unsigned short>((shift[k - 1][low] >> 8) ^ shift[0][shift[k - 1][low] & 0xFFu]);
    }
};

constexpr ShiftTables kTables;

unsigned int crcByTables(const unsigned char* at, int length, unsigned int crc)
{
    const auto& t = kTables.shift;
    // Eight bytes at a time, then four: the CRC is the XOR of what each byte does over the bytes behind it.
    for (; length >= 8; length -= 8, at += 8)
        crc = t[7][(crc ^ at[0]) & 0xFFu] ^ t[6][(crc >> 8) ^ at[1]] ^ t[5][at[2]] ^ t[4][at[3]] ^ t[3][at[4]]
            ^ t[2][at[5]] ^ t[1][at[6]] ^ t[0][at[7]];
    if (length >= 4) {
        crc = t[3][(crc ^ at[0]) & 0xFFu] ^ t[2][(crc >> 8) ^ at[1]] ^ t[1][at[2]] ^ t[0][at[3]];
        length -= 4;
        at += 4;
    }
    for (; length > 0; --length, ++at)
        crc = (crc >> 8) ^ t[0][(crc ^ *at) & 0xFFu];
    return crc;
}

#if defined(__x86_64__)

// x^n modulo the polynomial, in the register's bit order.
constexpr std::uint64_t powerOfX(int n)
{
    unsigned int crc = 0x8000u; // x^0
    for (int i = 0; i < n; ++i)
        crc = timesX(crc);
    return crc;
}

// The block times x^128, reduced: its halves times the halves of `carry` (see below).
[[gnu::target("pclmul")]] inline __m128i carriedOver(__m128i block, __m128i carry)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(block, carry, 0x00), _mm_clmulepi64_si128(block, carry, 0x11));
}

// Frames of sixteen bytes and more, sixteen bytes at a time by carry-less multiplication. Bit p
// of a 16-byte block loaded from the frame is the frame's bit in the register's order, so the block
// is a polynomial of degree below 128 with its first byte highest. Carrying it over the next block
// multiplies it by x^128: its first half by x^192 and its second by x^128, taken modulo the
// polynomial. In this bit order a 64 x 64 product comes out one place low, hence the constants
// x^191 and x^127. The block keeps the frame's remainder, so the CRC of the last block is the
// frame's. The start value goes into the first two bytes, as in the rule.
[[gnu::target("pclmul,ssse3")]] unsigned int crcByFolding(const unsigned char* at, int length, unsigned int start)
{
    const __m128i carry = _mm_set_epi64x(static_cast<long long>(powerOfX(127) << 48),
                                         static_cast<long long>(powerOfX(191) << 48));
    const auto load = [](const unsigned char* from) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)); };
    const unsigned char* const end = at + length;
    __m128i block = _mm_xor_si128(load(at), _mm_cvtsi32_si128(static_cast<int>(start)));
    for (at += 16; end - at >= 16; at += 16)
        block = _mm_xor_si128(carriedOver(block, carry), load(at));
    if (const int tail = static_cast<int>(end - at)) {
        // The block and a tail of fewer than 16 bytes are the block's first `tail` bytes, then
        // sixteen bytes: the block's others and the tail. The first part is carried over those.
        alignas(16) static constexpr unsigned char kShuffle[48] = {
            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
            0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
            0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
        // kShuffle + 16 + k moves bytes k places to the front, kShuffle + 16 - k k places to the
        // back; the places left are zeros.
        const __m128i toFront = load(kShuffle + 16 + tail);
        const __m128i first = _mm_shuffle_epi8(block, load(kShuffle + tail));
        const __m128i others = _mm_shuffle_epi8(block, toFront);
        // The tail ends the frame's last sixteen bytes, where `others` left its places zero; the
        // bytes in front of it are in the block already.
        const __m128i tailPlaces = _mm_cmpeq_epi8(toFront, _mm_set1_epi8(static_cast<char>(0x80)));
        const __m128i tailBytes = _mm_and_si128(tailPlaces, load(end - 16));
        block = _mm_xor_si128(carriedOver(first, carry), _mm_or_si128(others, tailBytes));
    }
    alignas(16) unsigned char remainder[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(remainder), block);
    return crcByTables(remainder, 16, 0);
}

const bool kCanFold = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
}();

constexpr int kFoldFrom = 16;

#endif

} // namespace

unsigned short crc16Modbus(const char* bytes, int length, unsigned short start)
{
    const auto* at = reinterpret_cast<const unsigned char*>(bytes);
#if defined(__x86_64__)
    if (length >= kFoldFrom && kCanFold)
        return static_cast<unsigned short>(crcByFolding(at, length, start));
#endif
    return static_cast<unsigned short>(crcByTables(at, length, start));
}

} // namespace vane::modbus
