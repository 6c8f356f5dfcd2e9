// The decryption stage of the item decoder: every block read from the archive passes through
// it before it is inflated or copied, and after the last block it has the final say on the
// item's integrity. Unencrypted items go through TQPNoDecryption, which changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

class IQPDecryptStage {
 public:
  virtual ~IQPDecryptStage() = default;
  // Decrypts `count` bytes at `data` in place; blocks arrive in archive order.
  virtual void Transform(uint8_t* data, size_t count) = 0;
  // After the last block: whether the item passes its integrity check, given the CRC-32 of
  // what was produced and the one the directory stores. A stage whose cipher carries its own
  // authentication decides by that instead.
  virtual bool Finish(uint32_t crc, uint32_t storedCrc) { return crc == storedCrc; }
  // Whether Transform does any work at all; only then is it worth a second thread.
  virtual bool Active() const { return true; }
};

class TQPNoDecryption final : public IQPDecryptStage {
 public:
  void Transform(uint8_t*, size_t) override {}
  bool Active() const override { return false; }
};
