// UpdateAdler32: Adler-32 (RFC 1950), the checksum of zlib-wrapped deflate streams. Item data
// in an archive is raw deflate and never carries it; the self-extractor answers zlib's own
// adler32 with this small loop instead of linking zlib's unrolled one.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a running Adler-32 (start value 1) over `length` bytes.
uint32_t UpdateAdler32(uint32_t adler, const void* data, size_t length);
