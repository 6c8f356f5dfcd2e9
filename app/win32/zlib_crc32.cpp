// zlib's crc32, answered by the engine's own CRC-32. Inflate refers to crc32 only for gzip
// streams, which the engine never opens (item data is raw deflate), yet the reference alone
// would link zlib's tables, some 8 KB of a stub that travels with every archive. Defined here,
// the linker takes this one instead; it keeps zlib's contract (a null buffer gives the start
// value, the value is complemented on entry and exit), so a gzip stream would still check.
#include <zlib.h>

#include "archive/format/crc32.h"

extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  if (!buf) return 0;
  return ~UpdateCrc32(~static_cast<uint32_t>(crc), buf, len);
}
