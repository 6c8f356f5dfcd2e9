// The SHA-NI block function of SHA-1. Only these functions are compiled for the SHA
// extensions (through the target attribute); they are called only after CPUID said the
// processor has them.
#include "crypto/sha1_impl.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>

#include <utility>

#define QP_SHANI __attribute__((target("sha,sse4.1,ssse3")))

namespace qp_crypto_detail {
namespace {

// One group of four steps, G = 0..19. m[G % 4] holds the message words W[4G..4G+3]; the
// schedule for later groups is built in place: M[g] = msg2(msg1(M[g-4], M[g-3]) ^ M[g-2],
// M[g-1]), each part done as soon as its input group is complete. e[0] and e[1] take turns
// carrying E into the next group.
template <int G>
QP_SHANI __attribute__((always_inline)) inline void Group(__m128i& abcd, __m128i* e, __m128i* m) {
  constexpr int cur = G % 2, other = 1 - cur;
  if constexpr (G == 0)
    e[0] = _mm_add_epi32(e[0], m[0]);
  else
    e[cur] = _mm_sha1nexte_epu32(e[cur], m[G % 4]);
  e[other] = abcd;
  if constexpr (G >= 3 && G <= 18) m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], m[G % 4]);
  abcd = _mm_sha1rnds4_epu32(abcd, e[cur], G / 5);
  if constexpr (G >= 1 && G <= 16) m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], m[G % 4]);
  if constexpr (G >= 2 && G <= 17) m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], m[G % 4]);
}

template <int... G>
QP_SHANI __attribute__((always_inline)) inline void AllGroups(__m128i& abcd, __m128i* e, __m128i* m,
                                                              std::integer_sequence<int, G...>) {
  (Group<G>(abcd, e, m), ...);
}

}  // namespace

QP_SHANI void SHA1BlocksNi(uint32_t state[5], const uint8_t* data, size_t blocks) {
  const __m128i mask = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks; --blocks, data += 64) {
    const __m128i abcdSave = abcd, eSave = e0;
    __m128i m[4];
    for (int i = 0; i < 4; ++i)
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), mask);
    __m128i e[2] = {e0, e0};
    AllGroups(abcd, e, m, std::make_integer_sequence<int, 20>{});
    e0 = _mm_sha1nexte_epu32(e[0], eSave);
    abcd = _mm_add_epi32(abcd, abcdSave);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace qp_crypto_detail

#else  // not x86: CpuHasShaNi() is false and this is never reached.

#include <cstdlib>

namespace qp_crypto_detail {
void SHA1BlocksNi(uint32_t*, const uint8_t*, size_t) { std::abort(); }
}  // namespace qp_crypto_detail

#endif
