// UpdateCrc32: the engine's CRC-32 (reflected, polynomial 0xEDB88320) over item data.
#pragma once

#include <cstddef>
#include <cstdint>

// The generator polynomial, reflected (x^0 at the top bit, x^31 at bit 0; x^32 implied).
constexpr uint32_t kCrc32Polynomial = 0xEDB88320u;

// Continues a running CRC over `length` bytes. The caller starts the running value at
// 0xFFFFFFFF and complements it at the end; this routine does neither. Where the processor
// has carry-less multiplication (and the hardware switch of crypto/cpu_features.h is on),
// long runs are folded with it; otherwise, and for short runs, the slicing tables serve.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t length);

// The standard 256-entry table, one step per byte.
const uint32_t* Crc32Table();
