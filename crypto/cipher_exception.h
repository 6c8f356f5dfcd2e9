// The exception of the cipher framework. Misuse of a cipher raises ECipherException
// with an error code; SelfTest and unsupported actions raise a plain ECryptoError with the
// texts "Not implemented 12", "Not implemented 14" and "Not implemented 20".
#pragma once

#include <stdexcept>
#include <exception>
#include <string>
#include <utility>

// A misuse with a fixed message ("Not implemented 14", a wrong size): a plain error, not an
// ECipherException. The message is a literal, so that no string implementation of the
// standard library's own exceptions rides along in the self-extractor.
class ECryptoError : public std::exception {
 public:
  explicit ECryptoError(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;
};

class ECipherException : public std::exception {
 public:
  // Code 2: "Length from Encryptionkey is invalid.\r\nKeysize for %s must be to %d-%d bytes"
  // (never raised in this system: over-long keys are cut). Code 3: "%s is not initialized call
  // Init() or InitKey() before."
  enum : int { kKeySizeInvalid = 2, kNotInitialized = 3 };

  ECipherException(int code, std::string message) : message_(std::move(message)), code_(code) {}
  const char* what() const noexcept override { return message_.c_str(); }
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
  std::string message_;
  int code_;
};
