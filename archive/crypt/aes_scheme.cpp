// The AES item scheme's shared pieces.
#include "archive/crypt/aes_scheme.h"

#include <algorithm>

#include "crypto/cipher_exception.h"

namespace {

constexpr size_t kInterleavePiece = 16 * 1024;

}  // namespace

int AesKeyBits(TQPCryptoAlgorithm algorithm) {
  switch (algorithm) {
    case caAES_128:
      return 128;
    case caAES_192:
      return 192;
    case caAES_256:
      return 256;
    default:
      return 0;
  }
}

void RequireAesKeyBits(int keyBits) {
  if (keyBits != 128 && keyBits != 192 && keyBits != 256)
    throw ECryptoError("AES key length must be 128, 192 or 256 bits");
}

std::unique_ptr<TCipher_Rijndael> NewAesCounterCipher(const uint8_t* key, size_t keyLength) {
  auto cipher = std::make_unique<TCipher_Rijndael>(key, static_cast<int>(keyLength));
  cipher->SetMode(cmCounterMode);
  return cipher;
}

void AesCounterModeWithCode(TCipher_Rijndael& cipher, THMACContext& hmac, const uint8_t* source, uint8_t* target,
                            size_t count, bool decrypting) {
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(kInterleavePiece, count - done);
    if (decrypting) {
      HmacUpdate(hmac, source + done, n);
      cipher.DecryptData(source + done, target + done, n);
    } else {
      cipher.EncryptData(source + done, target + done, n);
      HmacUpdate(hmac, target + done, n);
    }
    done += n;
  }
}

bool SameBytesInConstantTime(const uint8_t* a, const uint8_t* b, size_t n) {
  uint8_t difference = 0;
  for (size_t i = 0; i < n; ++i) difference |= static_cast<uint8_t>(a[i] ^ b[i]);
  return difference == 0;
}
