// TQPItemDecryption: the decoder's decryption stage for an encrypted item. Each block goes
// through the item's decrypt stage in place; after the last block the stage reads what
// follows the data (the AES authentication code) from the same source, and the item passes
// when the scheme's own proof holds and, where the scheme relies on it, the CRC-32 matches.
#pragma once

#include "archive/crypt/decrypt_stage.h"
#include "archive/extract/item_decoder.h"

class TQPItemDecryption final : public IQPDecryptStage {
 public:
  // `stage` must have accepted a password. Neither argument is owned.
  TQPItemDecryption(TItemDecryptStage& stage, IQPBlockSource& source) : stage_(stage), source_(source) {}

  void Transform(uint8_t* data, size_t count) override;
  bool Finish(uint32_t crc, uint32_t storedCrc) override;

 private:
  TItemDecryptStage& stage_;
  IQPBlockSource& source_;
};
