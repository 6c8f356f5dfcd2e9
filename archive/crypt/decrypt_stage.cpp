#include "archive/crypt/decrypt_stage.h"

#include "crypto/cipher_exception.h"

#include <stdexcept>

#include "archive/crypt/aes_transform.h"
#include "archive/crypt/classic_keys.h"
#include "archive/format/dir_item.h"
#include "archive/format/records.h"
#include "archive/io/stream.h"
#include "crypto/byte_order.h"

namespace {

void RequireWhole(std::span<const uint8_t> header, size_t size) {
  if (header.size() < size) throw EStreamError("encryption header cut short");
}

class ClassicStage : public TItemDecryptStage {
 public:
  explicit ClassicStage(const TItemCryptoInfo& info) : info_(info) {}
  ~ClassicStage() override { qp_crypto_detail::SecureZero(&keys_, sizeof keys_); }

  TItemScheme Scheme() const override { return TItemScheme::Classic; }
  size_t HeaderSize() const override { return kClassicHeaderSize; }
  size_t TrailerSize() const override { return 0; }

  bool CheckPassword(std::span<const uint8_t> header, const std::string& password) override {
    RequireWhole(header, kClassicHeaderSize);
    ready_ = CheckClassicPassword(header.first(kClassicHeaderSize), password, keys_, info_.LocalCrc32,
                                  info_.LocalTime, info_.LocalFlags);
    return ready_;
  }
  void DecryptInPlace(std::span<uint8_t> data) override {
    if (!ready_) throw ECryptoError("decrypting before the password was checked");
    DecryptClassicBytes(keys_, data.data(), data.size());
  }
  bool Verify(std::span<const uint8_t>) override { return true; }
  bool ComparesCrc() const override { return true; }

 private:
  TItemCryptoInfo info_;
  ClassicKeys keys_;
  bool ready_ = false;
};

class AesStage : public TItemDecryptStage {
 public:
  AesStage(const TItemCryptoInfo& info, const std::string& password)
      : transform_(AesKeyBits(static_cast<TQPCryptoAlgorithm>(info.CryptoAlgorithm)), info.ActualMethod,
                   kAesVendorVersion) {
    transform_.SetTransformMode(tmDecryption);
    transform_.Initialize(password);
  }

  TItemScheme Scheme() const override { return TItemScheme::Aes; }
  size_t HeaderSize() const override { return static_cast<size_t>(transform_.KeyBits() / 16 + kAesVerifierSize); }
  size_t TrailerSize() const override { return kAesAuthCodeSize; }

  bool CheckPassword(std::span<const uint8_t> header, const std::string& password) override {
    RequireWhole(header, HeaderSize());
    // The keys are derived from the password the transform holds; a new answer replaces it.
    if (!transform_.HoldsPassword(password)) transform_.Initialize(password);
    transform_.SetEncryptionHeader(header.first(HeaderSize()));
    ready_ = transform_.CheckPassword(password, item_);
    return ready_;
  }
  void DecryptInPlace(std::span<uint8_t> data) override {
    if (!ready_) throw ECryptoError("decrypting before the password was checked");
    transform_.DecryptBuffer(data.data(), 0, data.data(), 0, data.size());
  }
  bool Verify(std::span<const uint8_t> trailer) override {
    if (!ready_ || trailer.size() < TrailerSize()) return false;
    transform_.SetAuthenticationCode(trailer.first(TrailerSize()));
    return !transform_.AuthenticationFailed(item_, 0);
  }
  bool ComparesCrc() const override { return false; }

 private:
  TAESCryptoTransform transform_;
  // The transform's item parameters are not used by AES; an empty record stands in.
  TDirItem item_;
  bool ready_ = false;
};

}  // namespace

TItemScheme ItemSchemeOf(uint16_t flags, uint16_t versionNeeded, uint8_t cryptoAlgorithm) {
  if (!(flags & kFlagEncrypted)) return TItemScheme::None;
  if (versionNeeded < kStrongEncryptionVersion && cryptoAlgorithm >= caAES_128 && cryptoAlgorithm <= caAES_256)
    return TItemScheme::Aes;
  return TItemScheme::Classic;
}

TItemCryptoInfo ItemCryptoInfoOf(const TDirItem& item, const TLocalFileHeader& local) {
  TItemCryptoInfo info;
  info.Flags = item.CentralDirItem.Flags;
  info.VersionNeeded = item.CentralDirItem.VersionNeeded;
  info.CryptoAlgorithm = item.CryptoAlgorithm;
  info.ActualMethod = item.ActualMethod;
  info.LocalFlags = local.Flags;
  info.LocalTime = local.Time;
  info.LocalCrc32 = local.Crc32;
  return info;
}

std::unique_ptr<TItemDecryptStage> TItemDecryptStage::Create(const TItemCryptoInfo& info,
                                                             const std::string& password) {
  switch (ItemSchemeOf(info.Flags, info.VersionNeeded, info.CryptoAlgorithm)) {
    case TItemScheme::None:
      return nullptr;
    case TItemScheme::Classic:
      return std::make_unique<ClassicStage>(info);
    case TItemScheme::Aes:
      return std::make_unique<AesStage>(info, password);
  }
  return nullptr;
}

std::optional<uint64_t> TItemDecryptStage::PayloadSize(uint64_t compressedSize) const {
  const uint64_t overhead = HeaderSize() + TrailerSize();
  if (compressedSize < overhead) return std::nullopt;
  return compressedSize - overhead;
}
