#include "crypto/hmac.h"

#include <cassert>
#include <cstring>

#include "crypto/byte_order.h"

void HmacStart(THMACContext& ctx, const HashDescriptor& hash, const void* key, size_t keyLength) {
  assert(hash.blockLength <= kHashMaxBlockLength && hash.digestLength <= kHashMaxDigestLength);
  ctx.hash = &hash;
  std::memset(ctx.keyBlock, 0, sizeof ctx.keyBlock);
  if (keyLength > hash.blockLength) {
    hash.init(ctx.context);
    hash.update(ctx.context, key, keyLength);
    hash.finalize(ctx.context, ctx.keyBlock);
  } else if (keyLength) {
    std::memcpy(ctx.keyBlock, key, keyLength);
  }
  for (size_t i = 0; i < hash.blockLength; ++i) ctx.keyBlock[i] ^= 0x36;
  hash.init(ctx.context);
  hash.update(ctx.context, ctx.keyBlock, hash.blockLength);
}

void HmacUpdate(THMACContext& ctx, const void* data, size_t length) {
  ctx.hash->update(ctx.context, data, length);
}

void HmacFinish(THMACContext& ctx, uint8_t* digest) {
  const HashDescriptor& hash = *ctx.hash;
  uint8_t inner[kHashMaxDigestLength];
  hash.finalize(ctx.context, inner);
  for (size_t i = 0; i < hash.blockLength; ++i) ctx.keyBlock[i] ^= 0x36 ^ 0x5C;
  hash.init(ctx.context);
  hash.update(ctx.context, ctx.keyBlock, hash.blockLength);
  hash.update(ctx.context, inner, hash.digestLength);
  hash.finalize(ctx.context, digest);
  qp_crypto_detail::SecureZero(inner, sizeof inner);
  qp_crypto_detail::SecureZero(&ctx, sizeof ctx);
}
