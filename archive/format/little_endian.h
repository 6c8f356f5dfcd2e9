// Little-endian field access for the on-disk records: every integer of the format goes
// through these two helpers, never through scattered shifts.
#pragma once

#include <cstddef>
#include <cstdint>

template <typename T>
inline T GetLE(const uint8_t* p) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(p[i]) << (8 * i));
  return value;
}

template <typename T>
inline void PutLE(uint8_t* p, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}
