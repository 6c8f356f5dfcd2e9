// The carry-less multiplication path of the CRC-32 (PCLMULQDQ). Internal to crc32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

// Folds the longest run of whole 16-byte blocks at the start of `data` (length >= 64) into
// one 128-bit value congruent to them, modulo the polynomial, with `crc` already taken in,
// and stores it little-endian at `folded`. Returns the bytes consumed; the CRC-32 is then the
// CRC of the 16 folded bytes started from 0, continued over the bytes not consumed.
// Only call when CpuHasClmul().
size_t FoldCrc32Clmul(uint32_t crc, const uint8_t* data, size_t length, uint8_t folded[16]);
