// TCipher_Rijndael: AES (FIPS-197) in the cipher framework. Block 16 bytes, keys of
// up to 32 bytes (longer keys are cut to 32), a 480-byte key schedule holding the encryption
// round keys (bytes 0-239) and the decryption round keys of the equivalent inverse cipher
// (bytes 240-479), derived once per Init. Rounds: 10 for keys of up to 16 bytes, 12 for up
// to 24, 14 above; a key shorter than 16, 24 or 32 bytes is padded with zeros to that size.
//
// Two paths with bit-for-bit the same results: table-driven rounds, and AES-NI where the
// processor has it (chosen in Init, see crypto/cpu_features.h).
#pragma once

#include "crypto/cipher.h"

class TCipher_Rijndael : public TCipher {
 public:
  TCipher_Rijndael();
  // InitKey(key, keyLength, vector) when key is given.
  TCipher_Rijndael(const void* key, int keyLength, const void* vector = nullptr);

  const char* ClassName() const override { return "TCipher_Rijndael"; }
  static TCipherContext Context() { return TCipherContext{16, 32, 480}; }

  TCipherContext QueryContext() const override { return Context(); }
  // Raises "Not implemented 20" (ECryptoError).
  void SelfTest() override;
  void EncodeBlock(void* block) override;
  void DecodeBlock(void* block) override;
  void Init(const void* key, int keyLength, const void* vector) override;

  int Rounds() const { return rounds_; }
  // True when the last Init chose the AES-NI path.
  bool UsesHardware() const { return hardware_; }

 protected:
  void CounterModeBlocks(uint8_t* data, size_t blocks) override;

 private:
  int rounds_ = 0;
  bool hardware_ = false;
};
