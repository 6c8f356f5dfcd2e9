// The exception of the cipher framework. Misuse of a cipher raises ECipherException
// with an error code; SelfTest and unsupported actions raise plain std::runtime_error with the
// texts "Not implemented 12", "Not implemented 14" and "Not implemented 20".
#pragma once

#include <stdexcept>
#include <string>

class ECipherException : public std::runtime_error {
 public:
  // Code 2: "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes"
  // (never raised in this system: over-long keys are cut). Code 3: "%s is not initialized call
  // Init() or InitKey() before."
  enum : int { kKeySizeInvalid = 2, kNotInitialized = 3 };

  ECipherException(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int ErrorCode() const { return code_; }

  static ECipherException NotInitialized(const std::string& className) {
    return ECipherException(kNotInitialized,
                            className + " is not initialized call Init() or InitKey() before.");
  }
  static ECipherException KeySizeInvalid(const std::string& className, int minSize, int maxSize) {
    return ECipherException(kKeySizeInvalid, "Length from Encryptionkey is invalid.\r\nKeysize for " +
                                                 className + " must be to " + std::to_string(minSize) +
                                                 "-" + std::to_string(maxSize) + " bytes");
  }

 private:
  int code_;
};
