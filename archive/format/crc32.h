// UpdateCrc32: the engine's CRC-32 (reflected, polynomial 0xEDB88320) over item data.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a running CRC over `length` bytes. The caller starts the running value at
// 0xFFFFFFFF and complements it at the end; this routine does neither.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t length);

// The standard 256-entry table, one step per byte.
const uint32_t* Crc32Table();
