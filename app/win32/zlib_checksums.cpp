// zlib's checksums, crc32 and adler32, answered by the engine's own. Inflate refers to crc32
// only for gzip streams and to adler32 only for zlib-wrapped ones, neither of which the engine
// ever opens (item data is raw deflate), yet the references alone would link zlib's tables and
// unrolled loops, some 10 KB of a stub that travels with every archive. Defined here, the
// linker takes these instead; they keep zlib's contract (a null buffer gives the start value;
// crc32 complements on entry and exit), so such a stream would still check.
#include <zlib.h>

#include "archive/format/adler32.h"
#include "archive/format/crc32.h"

extern "C" uLong ZEXPORT crc32(uLong crc, const Bytef* buf, uInt len) {
  if (!buf) return 0;
  return ~UpdateCrc32(~static_cast<uint32_t>(crc), buf, len);
}

extern "C" uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
  if (!buf) return 1;
  return UpdateAdler32(static_cast<uint32_t>(adler), buf, len);
}
