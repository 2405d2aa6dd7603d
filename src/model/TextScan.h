#pragma once

// Eight bytes of map text at a time, for the scans that pass over plain ASCII.
#include <cstdint>
#include <cstring>

namespace tessera {

inline std::uint64_t wordAt(const unsigned char* p)
{
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Whether the eight bytes at `p` are all below 0x80.
inline bool isAsciiWord(const unsigned char* p)
{
    return (wordAt(p) & kHighBits) == 0;
}

// Whether the eight bytes at `p` are all below 0x80 and none is "|" or CR.
inline bool isPlainFieldWord(const unsigned char* p)
{
    const std::uint64_t word = wordAt(p);
    // True exactly when some byte of v is zero.
    const auto hasZeroByte = [](std::uint64_t v) { return ((v - kEveryByte) & ~v & kHighBits) != 0; };
    return (word & kHighBits) == 0 && !hasZeroByte(word ^ (kEveryByte * '|')) && !hasZeroByte(word ^ (kEveryByte * '\r'));
}

}  // namespace tessera
