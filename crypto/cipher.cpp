#include "crypto/cipher.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "crypto/byte_order.h"

namespace {

// Overwrites memory with a pattern in a way the optimiser keeps.
void Fill(std::vector<uint8_t>& buffer, uint8_t value) {
  volatile uint8_t* p = buffer.data();
  for (size_t i = 0; i < buffer.size(); ++i) p[i] = value;
}

void XorBlock(const uint8_t* a, const uint8_t* b, size_t n, uint8_t* out) {
  for (size_t i = 0; i < n; ++i) out[i] = a[i] ^ b[i];
}

// Shifts the feedback register left by one byte and puts value in its last byte.
void ShiftIn(uint8_t* feedback, size_t n, uint8_t value) {
  std::memmove(feedback, feedback + 1, n - 1);
  feedback[n - 1] = value;
}

}  // namespace

TCipher::TCipher(const void* key, int keyLength, const void* vector) : context_{} {
  Allocate();
  if (key) InitKey(key, keyLength, vector);
}

TCipher::TCipher(const TCipherContext& context) : context_(context) { Allocate(); }

TCipher::~TCipher() { Wipe(); }

void TCipher::Allocate() {
  const auto bs = static_cast<size_t>(context_.blockSize);
  vector_.assign(bs, 0);
  feedback_.assign(bs, 0);
  buffer_.assign(bs, 0);
  counter_.assign(bs, 0);
  keyStream_.assign(bs, 0);
  user_.assign(static_cast<size_t>(context_.userSize), 0);
  // The constructor's Wipe (non-virtual here: the object is not complete yet).
  TCipher::Wipe();
  position_ = context_.blockSize;
}

void TCipher::CheckInitialized() const {
  if (!(flags_ & kFlagInitialized)) throw ECipherException::NotInitialized(ClassName());
}

void TCipher::BeginAction(int action) {
  CheckInitialized();
  if (action == paWipe) throw ECryptoError("Not implemented 12");
  if (action != paCalcMAC) ResetChaining();
  TProtection::BeginAction(action);
}

void TCipher::EndAction(int action) {
  if (action == paWipe) throw ECryptoError("Not implemented 12");
  if (action != paCalcMAC) ResetChaining();
  TProtection::EndAction(action);
}

void TCipher::ProcessChunk(void* buffer, size_t size, int action) {
  if (action == paDecode) {
    TProtection::ProcessChunk(buffer, size, action);
    DecryptData(buffer, buffer, size);
  } else {
    EncryptData(buffer, buffer, size);
    TProtection::ProcessChunk(buffer, size, action);
  }
}

void TCipher::ChangeFlag(int index, bool value) {
  if (index < 0 || index > 31) return;
  if (value)
    flags_ |= 1u << index;
  else
    flags_ &= ~(1u << index);
}

void TCipher::FinishInit(const void* vector) {
  if (vector)
    std::memcpy(vector_.data(), vector, vector_.size());
  else if (!vector_.empty())
    EncodeBlock(vector_.data());
  feedback_ = vector_;
  flags_ |= kFlagInitialized;
}

TCipherContext TCipher::QueryContext() const { return TCipherContext{}; }

void TCipher::SelfTest() { throw ECryptoError("Not implemented 14"); }

void TCipher::EncodeBlock(void*) {}

void TCipher::DecodeBlock(void*) {}

void TCipher::Init(const void*, int, const void* vector) {
  Wipe();
  FinishInit(vector);
}

void TCipher::ResetChaining() {
  if (feedback_ != vector_) {
    buffer_ = feedback_;
    feedback_ = vector_;
  }
}

void TCipher::Wipe() {
  flags_ &= ~(kFlagKeyed | kFlagInitialized);
  for (auto* b : {&user_, &vector_, &feedback_, &buffer_, &keyStream_, &counter_}) {
    Fill(*b, 0xAA);
    Fill(*b, 0x55);
    Fill(*b, 0x00);
  }
  // The key-stream block is gone with the key: the next byte of counter mode needs a new one.
  position_ = context_.blockSize;
}

void TCipher::InitKey(const void* key, int keyLength, const void* vector) {
  Init(key, std::min(keyLength, context_.maxKeySize), vector);
  ResetChaining();
  flags_ |= kFlagKeyed;
}

void TCipher::SetCounterBlock(const void* block) {
  std::memcpy(counter_.data(), block, counter_.size());
}

void TCipher::IncrementCounter() {
  const size_t n = std::min<size_t>(8, counter_.size());
  for (size_t i = 0; i < n; ++i)
    if (++counter_[i] != 0) break;
}

void TCipher::CounterModeBlocks(uint8_t* data, size_t blocks) {
  const auto bs = static_cast<size_t>(context_.blockSize);
  for (size_t b = 0; b < blocks; ++b, data += bs) {
    IncrementCounter();
    std::memcpy(keyStream_.data(), counter_.data(), bs);
    EncodeBlock(keyStream_.data());
    XorBlock(data, keyStream_.data(), bs, data);
  }
}

void TCipher::CounterModeData(const uint8_t* s, uint8_t* d, size_t n) {
  if (s != d) std::memmove(d, s, n);
  const int bs = context_.blockSize;
  while (n && position_ < bs) {
    *d++ ^= keyStream_[static_cast<size_t>(position_++)];
    --n;
  }
  if (n >= static_cast<size_t>(bs)) {
    const size_t blocks = n / static_cast<size_t>(bs);
    CounterModeBlocks(d, blocks);
    d += blocks * static_cast<size_t>(bs);
    n -= blocks * static_cast<size_t>(bs);
  }
  while (n) {
    if (position_ == bs) {
      IncrementCounter();
      keyStream_ = counter_;
      EncodeBlock(keyStream_.data());
      position_ = 0;
    }
    *d++ ^= keyStream_[static_cast<size_t>(position_++)];
    --n;
  }
}

// Encryption in the modes 0-3 and 5, and the MAC forms (output false: only the feedback
// register changes, the destination is not written).
void TCipher::EncodeMode(const uint8_t* s, uint8_t* d, size_t n, TCipherMode mode, bool output) {
  const auto bs = static_cast<size_t>(context_.blockSize);
  uint8_t* fb = feedback_.data();
  uint8_t* work = buffer_.data();
  switch (mode) {
    case cmCTS:
      for (; n >= bs; n -= bs, s += bs, d += bs) {
        uint8_t* out = output ? d : work;
        XorBlock(s, fb, bs, out);
        EncodeBlock(out);
        XorBlock(fb, out, bs, fb);
      }
      if (n && output) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        XorBlock(s, work, n, d);
      } else if (n) {
        AbsorbTail(s, n, false);
      }
      break;
    case cmCBC:
      for (; n >= bs; n -= bs, s += bs, d += bs) {
        uint8_t* out = output ? d : work;
        XorBlock(s, fb, bs, out);
        EncodeBlock(out);
        std::memcpy(fb, out, bs);
      }
      if (n && output) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        XorBlock(s, work, n, d);
      } else if (n) {
        AbsorbTail(s, n, true);
      }
      break;
    case cmCFB:
      for (; n; --n, ++s, ++d) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        const uint8_t c = *s ^ work[0];
        ShiftIn(fb, bs, c);
        if (output) *d = c;
      }
      break;
    case cmOFB:
      for (; n; --n, ++s, ++d) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        const uint8_t k = work[0];
        ShiftIn(fb, bs, k);
        *d = *s ^ k;
      }
      break;
    case cmECB:
      if (s != d) std::memmove(d, s, n);
      for (; n >= bs; n -= bs, d += bs) EncodeBlock(d);
      if (n) {
        std::memcpy(work, d, n);
        EncodeBlock(work);
        std::memcpy(d, work, n);
      }
      break;
    default:
      break;
  }
}

// The MAC forms of modes 0 and 1 take a final partial block into the code as a whole block
// padded with zeros: the plain modes only XOR such a block with a key-stream block, which
// would leave the feedback register, and so the code, blind to the last bytes of the data.
void TCipher::AbsorbTail(const uint8_t* s, size_t n, bool replace) {
  const auto bs = static_cast<size_t>(context_.blockSize);
  uint8_t* fb = feedback_.data();
  uint8_t* work = buffer_.data();
  std::memset(work, 0, bs);
  std::memcpy(work, s, n);
  XorBlock(work, fb, bs, work);
  EncodeBlock(work);
  if (replace)
    std::memcpy(fb, work, bs);
  else
    XorBlock(fb, work, bs, fb);
}

void TCipher::EncryptData(const void* source, void* destination, size_t length) {
  CheckInitialized();
  const auto* s = static_cast<const uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(destination);
  if (context_.blockSize == 0) {
    if (s != d) std::memmove(d, s, length);
    return;
  }
  switch (mode_) {
    case cmCounterMode:
      CounterModeData(s, d, length);
      break;
    case cmCTSMAC:
      EncodeMode(s, d, length, cmCTS, false);
      break;
    case cmCBCMAC:
      EncodeMode(s, d, length, cmCBC, false);
      break;
    case cmCFBMAC:
      EncodeMode(s, d, length, cmCFB, false);
      break;
    default:
      EncodeMode(s, d, length, mode_, true);
      break;
  }
}

void TCipher::DecryptData(const void* source, void* destination, size_t length) {
  CheckInitialized();
  const auto* s = static_cast<const uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(destination);
  const auto bs = static_cast<size_t>(context_.blockSize);
  if (bs == 0) {
    if (s != d) std::memmove(d, s, length);
    return;
  }
  uint8_t* fb = feedback_.data();
  uint8_t* work = buffer_.data();
  size_t n = length;
  switch (mode_) {
    case cmCTS:
      for (; n >= bs; n -= bs, s += bs, d += bs) {
        std::memcpy(work, s, bs);  // the cipher block, kept for the feedback
        std::memmove(d, s, bs);
        DecodeBlock(d);
        XorBlock(d, fb, bs, d);
        XorBlock(fb, work, bs, fb);
      }
      if (n) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        XorBlock(s, work, n, d);
      }
      break;
    case cmCBC:
      for (; n >= bs; n -= bs, s += bs, d += bs) {
        std::memcpy(work, s, bs);
        std::memmove(d, s, bs);
        DecodeBlock(d);
        XorBlock(d, fb, bs, d);
        std::memcpy(fb, work, bs);
      }
      if (n) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        XorBlock(s, work, n, d);
      }
      break;
    case cmCFB:
      for (; n; --n, ++s, ++d) {
        std::memcpy(work, fb, bs);
        EncodeBlock(work);
        const uint8_t c = *s;
        ShiftIn(fb, bs, c);
        *d = c ^ work[0];
      }
      break;
    case cmOFB:
      EncodeMode(s, d, n, cmOFB, true);
      break;
    case cmCounterMode:
      CounterModeData(s, d, n);
      break;
    case cmECB:
      if (s != d) std::memmove(d, s, n);
      for (; n >= bs; n -= bs, d += bs) DecodeBlock(d);
      if (n) {
        std::memcpy(work, d, n);
        DecodeBlock(work);
        std::memcpy(d, work, n);
      }
      break;
    // The MAC forms compute the same code over the data whichever way they are called.
    case cmCTSMAC:
      EncodeMode(s, d, n, cmCTS, false);
      break;
    case cmCBCMAC:
      EncodeMode(s, d, n, cmCBC, false);
      break;
    case cmCFBMAC:
      EncodeMode(s, d, n, cmCFB, false);
      break;
    default:  // not a mode: nothing is transformed
      break;
  }
}
