// Little- and big-endian loads and stores for the primitives, in one place. Internal to crypto/.
#pragma once

#include <cstdint>
#include <cstring>

namespace qp_crypto_detail {

inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline uint32_t LoadBE32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
inline uint64_t LoadLE64(const uint8_t* p) {
  return uint64_t(LoadLE32(p)) | uint64_t(LoadLE32(p + 4)) << 32;
}
inline void StoreLE64(uint8_t* p, uint64_t v) {
  StoreLE32(p, uint32_t(v));
  StoreLE32(p + 4, uint32_t(v >> 32));
}
inline void StoreBE64(uint8_t* p, uint64_t v) {
  StoreBE32(p, uint32_t(v >> 32));
  StoreBE32(p + 4, uint32_t(v));
}
inline uint32_t Rotl32(uint32_t v, int n) { return (v << n) | (v >> ((32 - n) & 31)); }

// Zeroes memory in a way the optimiser does not remove (for clearing key material).
inline void SecureZero(void* p, size_t n) {
  volatile uint8_t* v = static_cast<volatile uint8_t*>(p);
  while (n--) *v++ = 0;
}

}  // namespace qp_crypto_detail
