// The CRC-32 folded 64 bytes at a time with carry-less multiplication. Only these functions
// are compiled for PCLMULQDQ (through the target attribute, so nothing else of the engine can
// pick up the instructions); they are called only after CPUID said the processor has them.
//
// How the folding works. Read reflected, a 16-byte block is a polynomial A of degree < 128
// whose first bit in the data is the coefficient of x^127; its low 64-bit lane H holds the
// coefficients of x^127..x^64 and its high lane L those of x^63..x^0, so A = H x^64 + L.
// A block that stands D bits ahead of another block B may be replaced by A x^D mod P added
// to B without changing the CRC, and
//     A x^D  =  H x^(D+64) + L x^D  ==  H (x^(D+64) mod P) + L (x^D mod P)     (mod P),
// two products of 64 by 32 bits that fit in 128 bits. PCLMULQDQ multiplies two reflected
// 64-bit lanes into a 128-bit result one bit short of the block layout (a reflected product
// of degree <= 126 lands in bits 0..126 for coefficients x^126..x^0), so each multiplier is
// taken one power lower: x^(D+63) mod P for H and x^(D-1) mod P for L, stored in the upper
// half of its lane, coefficient of x^k at bit 63-k.
//
// Four blocks (64 bytes) are folded onto the next four (D = 512) while data lasts; then the
// four are folded into one and further 16-byte blocks onto it (D = 128). The caller reduces
// the last 128 bits with the table: the CRC of a message started from 0 is exactly its
// polynomial times x^32 modulo P.
#include "archive/format/crc32_clmul.h"

#include "archive/format/crc32.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#define QP_CLMUL __attribute__((target("pclmul,sse4.1")))

namespace {

// x^n mod P, reflected as the CRC's running value is: the coefficient of x^k at bit 31-k, so
// x^0 is the top bit, and multiplying by x is one step of the bit-wise CRC loop.
constexpr uint32_t XPowerMod(int n) {
  uint32_t r = 0x80000000u;
  for (int i = 0; i < n; ++i) r = (r & 1) ? (r >> 1) ^ kCrc32Polynomial : r >> 1;
  return r;
}

// The multiplier lane for x^n mod P: coefficient of x^k at bit 63-k.
constexpr long long Lane(int n) { return static_cast<long long>(static_cast<uint64_t>(XPowerMod(n)) << 32); }

// The two multipliers that fold a block onto the one D bits further on: H's in the low lane,
// L's in the high lane.
struct FoldDistance {
  long long high;
  long long low;
};
constexpr FoldDistance Distance(int bits) { return {Lane(bits - 1), Lane(bits + 63)}; }

constexpr FoldDistance kFold512 = Distance(512);
constexpr FoldDistance kFold128 = Distance(128);

QP_CLMUL inline __m128i Multipliers(FoldDistance d) { return _mm_set_epi64x(d.high, d.low); }

QP_CLMUL inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// a x^D mod P (up to congruence) plus b.
QP_CLMUL inline __m128i Fold(__m128i a, __m128i k, __m128i b) {
  const __m128i h = _mm_clmulepi64_si128(a, k, 0x00);
  const __m128i l = _mm_clmulepi64_si128(a, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(h, l), b);
}

}  // namespace

QP_CLMUL size_t FoldCrc32Clmul(uint32_t crc, const uint8_t* data, size_t length, uint8_t folded[16]) {
  const uint8_t* p = data;
  // The running value enters as the first 32 bits of the data, as in the table loop.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  p += 64;
  length -= 64;

  const __m128i k512 = Multipliers(kFold512);
  for (; length >= 64; p += 64, length -= 64) {
    x0 = Fold(x0, k512, Load(p));
    x1 = Fold(x1, k512, Load(p + 16));
    x2 = Fold(x2, k512, Load(p + 32));
    x3 = Fold(x3, k512, Load(p + 48));
  }

  const __m128i k128 = Multipliers(kFold128);
  x1 = Fold(x0, k128, x1);
  x2 = Fold(x1, k128, x2);
  x3 = Fold(x2, k128, x3);
  for (; length >= 16; p += 16, length -= 16) x3 = Fold(x3, k128, Load(p));

  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded), x3);
  return static_cast<size_t>(p - data);
}

#else  // not x86: CpuHasClmul() is false and this is never reached.

#include <cstdlib>

size_t FoldCrc32Clmul(uint32_t, const uint8_t*, size_t, uint8_t*) { std::abort(); }

#endif
