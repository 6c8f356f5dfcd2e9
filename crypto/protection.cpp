// TProtection: the chain of actions and the buffer form; the stream, file and string forms
// are in protection_io.cpp.
#include "crypto/protection.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "crypto/byte_order.h"

const TStringFormat& TStringFormat::Copy() {
  static const TStringFormat copy;
  return copy;
}

void TProtection::BeginAction(int action) {
  if (chain_) chain_->BeginAction(action);
}

void TProtection::EndAction(int action) {
  if (chain_) chain_->EndAction(action);
}

void TProtection::ProcessChunk(void* buffer, size_t size, int action) {
  if (chain_) chain_->ProcessChunk(buffer, size, action);
}

size_t TProtection::ProcessBuffer(void* buffer, size_t size, int action) {
  BeginAction(action);
  ProcessChunk(buffer, size, action);
  EndAction(action);
  return size;
}
