#include "crypto/sha1.h"

#include <algorithm>
#include <cstring>

#include "crypto/byte_order.h"
#include "crypto/cpu_features.h"
#include "crypto/sha1_impl.h"

namespace qp_crypto_detail {

void SHA1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks) {
  for (; blocks; --blocks, data += 64) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBE32(data + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    // The 80 steps over a rolling 16-word schedule.
#define QP_W(i) (w[(i) & 15] = Rotl32(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i) & 15], 1))
#define QP_STEP(f, k, i, wi)                               \
  do {                                                     \
    const uint32_t t = Rotl32(a, 5) + (f) + e + (k) + (wi); \
    e = d;                                                 \
    d = c;                                                 \
    c = Rotl32(b, 30);                                     \
    b = a;                                                 \
    a = t;                                                 \
  } while (0)
    for (int i = 0; i < 16; ++i) QP_STEP((b & c) | (~b & d), 0x5A827999u, i, w[i]);
    for (int i = 16; i < 20; ++i) QP_STEP((b & c) | (~b & d), 0x5A827999u, i, QP_W(i));
    for (int i = 20; i < 40; ++i) QP_STEP(b ^ c ^ d, 0x6ED9EBA1u, i, QP_W(i));
    for (int i = 40; i < 60; ++i) QP_STEP((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, i, QP_W(i));
    for (int i = 60; i < 80; ++i) QP_STEP(b ^ c ^ d, 0xCA62C1D6u, i, QP_W(i));
#undef QP_STEP
#undef QP_W
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

}  // namespace qp_crypto_detail

using namespace qp_crypto_detail;

namespace {

void Blocks(uint32_t state[5], const uint8_t* data, size_t blocks) {
  if (UseShaNi())
    SHA1BlocksNi(state, data, blocks);
  else
    SHA1BlocksPortable(state, data, blocks);
}

}  // namespace

void SHA1Init(TSHA1Context& ctx) {
  std::memset(&ctx, 0, sizeof ctx);
  ctx.state[0] = 0x67452301u;
  ctx.state[1] = 0xEFCDAB89u;
  ctx.state[2] = 0x98BADCFEu;
  ctx.state[3] = 0x10325476u;
  ctx.state[4] = 0xC3D2E1F0u;
}

void SHA1Update(TSHA1Context& ctx, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  ctx.bitLength += static_cast<uint64_t>(length) << 3;
  if (ctx.index) {
    const size_t take = std::min<size_t>(length, kSHA1BlockSize - ctx.index);
    std::memcpy(ctx.buffer + ctx.index, p, take);
    ctx.index += static_cast<uint32_t>(take);
    p += take;
    length -= take;
    if (ctx.index < kSHA1BlockSize) return;
    Blocks(ctx.state, ctx.buffer, 1);
    ctx.index = 0;
  }
  if (length >= kSHA1BlockSize) {
    const size_t blocks = length / kSHA1BlockSize;
    Blocks(ctx.state, p, blocks);
    p += blocks * kSHA1BlockSize;
    length -= blocks * kSHA1BlockSize;
  }
  if (length) {
    std::memcpy(ctx.buffer, p, length);
    ctx.index = static_cast<uint32_t>(length);
  }
}

void SHA1Final(TSHA1Context& ctx, uint8_t* digest) {
  const uint64_t bits = ctx.bitLength;
  ctx.buffer[ctx.index++] = 0x80;
  if (ctx.index > 56) {
    std::memset(ctx.buffer + ctx.index, 0, kSHA1BlockSize - ctx.index);
    Blocks(ctx.state, ctx.buffer, 1);
    ctx.index = 0;
  }
  std::memset(ctx.buffer + ctx.index, 0, 56 - ctx.index);
  StoreBE64(ctx.buffer + 56, bits);
  Blocks(ctx.state, ctx.buffer, 1);
  for (int i = 0; i < 5; ++i) StoreBE32(digest + 4 * i, ctx.state[i]);
  SecureZero(&ctx, sizeof ctx);
}

void SHA1Full(const void* data, size_t length, uint8_t* digest) {
  TSHA1Context ctx;
  SHA1Init(ctx);
  SHA1Update(ctx, data, length);
  SHA1Final(ctx, digest);
}
