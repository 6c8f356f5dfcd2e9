// The AES-NI path of TCipher_Rijndael. Only these functions are compiled for AES-NI/SSE4.1
// (through the target attribute, so nothing else of the library can pick up the instructions);
// they are called only after CPUID said the processor has them.
#include <cstring>

#include "crypto/aes_impl.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#define QP_AESNI __attribute__((target("aes,sse4.1,ssse3")))

namespace qp_crypto_detail {
namespace {

QP_AESNI inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
QP_AESNI inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Key stream for N counter blocks, XORed into data; N and the rounds are compile-time
// constants so that the loops unroll completely and the N blocks go through the AES units
// interleaved.
template <int Rounds, int N>
QP_AESNI inline void CtrGroup(const uint8_t* rk, __m128i& ctr, uint8_t* data, __m128i* last) {
  const __m128i one = _mm_set_epi32(0, 0, 0, 1);
  __m128i b[N];
  const __m128i k0 = Load(rk);
#pragma GCC unroll 16
  for (int i = 0; i < N; ++i) {
    ctr = _mm_add_epi64(ctr, one);
    b[i] = _mm_xor_si128(ctr, k0);
  }
#pragma GCC unroll 16
  for (int r = 1; r < Rounds; ++r) {
    const __m128i k = Load(rk + 16 * r);
#pragma GCC unroll 16
    for (int i = 0; i < N; ++i) b[i] = _mm_aesenc_si128(b[i], k);
  }
  const __m128i kl = Load(rk + 16 * Rounds);
#pragma GCC unroll 16
  for (int i = 0; i < N; ++i) b[i] = _mm_aesenclast_si128(b[i], kl);
#pragma GCC unroll 16
  for (int i = 0; i < N; ++i) Store(data + 16 * i, _mm_xor_si128(Load(data + 16 * i), b[i]));
  *last = b[N - 1];
}

template <int Rounds>
QP_AESNI void CtrBlocks(const uint8_t* rk, uint8_t* counter, uint8_t* data, size_t blocks,
                        uint8_t* lastKeyStream) {
#if defined(__x86_64__)
  constexpr int kWide = 8;  // 16 registers: eight blocks in flight
#else
  constexpr int kWide = 4;  // 8 registers on 32-bit x86
#endif
  __m128i ctr = Load(counter);
  __m128i last = _mm_setzero_si128();
  for (; blocks >= static_cast<size_t>(kWide); blocks -= kWide, data += 16 * kWide)
    CtrGroup<Rounds, kWide>(rk, ctr, data, &last);
  for (; blocks; --blocks, data += 16) CtrGroup<Rounds, 1>(rk, ctr, data, &last);
  Store(counter, ctr);
  Store(lastKeyStream, last);
}

}  // namespace

QP_AESNI void AesEncryptNi(const uint8_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
  __m128i b = _mm_xor_si128(Load(in), Load(rk));
  for (int r = 1; r < rounds; ++r) b = _mm_aesenc_si128(b, Load(rk + 16 * r));
  Store(out, _mm_aesenclast_si128(b, Load(rk + 16 * rounds)));
}

QP_AESNI void AesDecryptNi(const uint8_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
  __m128i b = _mm_xor_si128(Load(in), Load(rk));
  for (int r = 1; r < rounds; ++r) b = _mm_aesdec_si128(b, Load(rk + 16 * r));
  Store(out, _mm_aesdeclast_si128(b, Load(rk + 16 * rounds)));
}

QP_AESNI void AesCounterBlocksNi(const uint8_t* rk, int rounds, uint8_t* counter, uint8_t* data,
                                 size_t blocks, uint8_t* lastKeyStream) {
  // Bytes 0-7 of the counter block are a little-endian 64-bit number, exactly the low lane of
  // an SSE register on x86; adding 1 to that lane is the increment with the carry dropped
  // after byte 7, and bytes 8-15 stay as they are.
  switch (rounds) {
    case 10:
      CtrBlocks<10>(rk, counter, data, blocks, lastKeyStream);
      break;
    case 12:
      CtrBlocks<12>(rk, counter, data, blocks, lastKeyStream);
      break;
    default:
      CtrBlocks<14>(rk, counter, data, blocks, lastKeyStream);
      break;
  }
}

}  // namespace qp_crypto_detail

#else  // not x86: CpuHasAesNi() is false and these are never reached.

#include <cstdlib>

namespace qp_crypto_detail {
void AesEncryptNi(const uint8_t*, int, const uint8_t*, uint8_t*) { std::abort(); }
void AesDecryptNi(const uint8_t*, int, const uint8_t*, uint8_t*) { std::abort(); }
void AesCounterBlocksNi(const uint8_t*, int, uint8_t*, uint8_t*, size_t, uint8_t*) { std::abort(); }
}  // namespace qp_crypto_detail

#endif
