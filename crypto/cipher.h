// TCipher: the block-cipher framework on top of TProtection, with nine chaining
// modes, the flags, the five block-size buffers and the key schedule. Concrete ciphers
// (TCipher_Rijndael) override QueryContext, SelfTest, EncodeBlock, DecodeBlock and Init.
//
// A cipher is usable for EncryptData and DecryptData only between a completed Init (or
// InitKey) and the next Wipe; otherwise they raise ECipherException code 3. Not thread-safe:
// one thread at a time per object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/cipher_exception.h"
#include "crypto/protection.h"

enum TCipherMode : uint8_t {
  cmCTS = 0,          // cipher-text stealing (the framework's own chaining)
  cmCBC = 1,          // cipher block chaining
  cmCFB = 2,          // 8-bit cipher feedback
  cmOFB = 3,          // 8-bit output feedback
  cmCounterMode = 4,  // the counter mode of AES-encrypted ZIP items; the only one the engine uses
  cmECB = 5,          // electronic code book
  cmCTSMAC = 6,       // MAC forms of modes 0, 1 and 2: feedback updated, no output written;
                      // a final partial block counts as a zero-padded whole block
  cmCBCMAC = 7,
  cmCFBMAC = 8,
};

// Block size, maximum key size and key-schedule size in bytes.
struct TCipherContext {
  int blockSize = 0;
  int maxKeySize = 0;
  int userSize = 0;
};

class TCipher : public TProtection {
 public:
  enum : uint32_t {
    kFlagKeyed = 1u << 0,        // a key has been set through InitKey
    kFlagInitialized = 1u << 1,  // set by FinishInit, cleared by Wipe
  };

  // A TCipher without a cipher (context 0, 0, 0); InitKey is called when a key is given.
  explicit TCipher(const void* key = nullptr, int keyLength = 0, const void* vector = nullptr);
  ~TCipher() override;

  // The class name, as it appears in the messages ("TCipher", "TCipher_Rijndael").
  virtual const char* ClassName() const { return "TCipher"; }

  // Slots 0-2, overridden. BeginAction requires the initialised flag (code 3); BeginAction and
  // EndAction refuse paWipe ("Not implemented 12") and call ResetChaining for every action but
  // paCalcMAC. ProcessChunk decodes (action 1) or encodes (any other) the chunk in place,
  // around the chained object.
  void BeginAction(int action) override;
  void EndAction(int action) override;
  void ProcessChunk(void* buffer, size_t size, int action) override;

  // Slots 7-15.
  virtual void ChangeFlag(int index, bool value);
  // Copies the given vector (block size bytes), or when none is given encrypts the current
  // vector block in place; copies it into the feedback register; sets the initialised flag.
  virtual void FinishInit(const void* vector);
  virtual TCipherContext QueryContext() const;
  // Raises "Not implemented 14" (ECryptoError).
  virtual void SelfTest();
  virtual void EncodeBlock(void* block);
  virtual void DecodeBlock(void* block);
  // Wipe, cut the key length to 0..maximum, build the schedule (nothing in TCipher), then
  // FinishInit(vector).
  virtual void Init(const void* key, int keyLength, const void* vector);
  // When the feedback register differs from the initial vector: work buffer = feedback
  // register, feedback register = initial vector.
  virtual void ResetChaining();
  // Clears the keyed and initialised flags; overwrites the key schedule and the buffers with
  // 0xAA, 0x55 and zeros; zeroes the counter block and uses up the key-stream block.
  virtual void Wipe();

  // Init with at most the maximum key size of the key, ResetChaining, set the keyed flag.
  void InitKey(const void* key, int keyLength, const void* vector = nullptr);

  // Transform length bytes from source into destination (the same buffer is allowed) in the
  // current mode. Raise ECipherException code 3 when the cipher is not initialised.
  void EncryptData(const void* source, void* destination, size_t length);
  void DecryptData(const void* source, void* destination, size_t length);

  TCipherMode Mode() const { return mode_; }
  void SetMode(TCipherMode mode) { mode_ = mode; }
  uint32_t Flags() const { return flags_; }
  bool Initialized() const { return (flags_ & kFlagInitialized) != 0; }
  int BlockSize() const { return context_.blockSize; }
  int MaxKeySize() const { return context_.maxKeySize; }
  int UserSize() const { return context_.userSize; }

  // The buffers, for inspection (the MAC modes leave their result in the feedback register).
  const uint8_t* Vector() const { return vector_.data(); }
  const uint8_t* Feedback() const { return feedback_.data(); }
  const uint8_t* WorkBuffer() const { return buffer_.data(); }
  const uint8_t* CounterBlock() const { return counter_.data(); }
  // Index of the next key-stream byte of counter mode (block size: none left).
  int CounterPosition() const { return position_; }
  // Replaces the counter block (block size bytes); for tests of the counter's carry.
  void SetCounterBlock(const void* block);

 protected:
  // For derived ciphers: the context comes from the derived class, since a base constructor
  // cannot reach a derived virtual. The derived constructor calls InitKey itself.
  explicit TCipher(const TCipherContext& context);

  uint8_t* User() { return user_.data(); }
  const uint8_t* User() const { return user_.data(); }

  // Counter mode over whole blocks with the position at the block size: for each block,
  // increment the counter block, encrypt it into the key-stream block and XOR it into data.
  // Derived ciphers may do it faster; the result must be the same.
  virtual void CounterModeBlocks(uint8_t* data, size_t blocks);
  // Increments the counter block: little-endian over its first 8 bytes, carry dropped.
  void IncrementCounter();
  uint8_t* CounterBuffer() { return counter_.data(); }
  uint8_t* KeyStreamBuffer() { return keyStream_.data(); }

 private:
  void Allocate();
  void CheckInitialized() const;
  void CounterModeData(const uint8_t* source, uint8_t* destination, size_t length);
  void EncodeMode(const uint8_t* s, uint8_t* d, size_t length, TCipherMode mode, bool output);
  void AbsorbTail(const uint8_t* s, size_t n, bool replace);

  TCipherContext context_;
  TCipherMode mode_ = cmCTS;
  uint32_t flags_ = 0;
  std::vector<uint8_t> vector_, feedback_, buffer_, counter_, keyStream_, user_;
  int position_ = 0;
};
