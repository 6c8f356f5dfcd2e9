// Items encrypted by real writers (Info-ZIP zip, 7-Zip, bsdtar), made at test time and
// decoded through the item decryptor: the right password opens them to the original bytes
// with a matching CRC-32 or authentication code; a wrong one does not. Native builds only:
// the writers are not there under wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "tests/crypt/crypt_test_util.h"
#include "tests/support/peer_writer.h"

#ifndef _WIN32

namespace crypt_test {
namespace {

// Text with random words: deflates, yet stays long enough (over 4 KiB of ciphertext) that the
// AES counter carries out of its first byte.
std::string Content() {
  static const char* words[] = {"quill ", "pack ", "ink ", "parchment\n", "seal ", "wax, ", "scroll ", "ledger. "};
  std::mt19937 rng(7);
  std::string s;
  while (s.size() < 120000) s += words[rng() % 8] + std::to_string(rng() % 1000) + " ";
  return s;
}

class PeerArchives : public testing::Test {
 protected:
  void SetUp() override {
    content_ = Content();
    dir_.Write("data.txt", content_);
  }
  // Runs a writer in the scratch folder and returns the archive it made.
  std::string Make(const std::string& tool, const std::string& command, const std::string& archive) {
    std::string bytes = writer_.Make(tool, command, archive);
    skipped_ = skipped_ || writer_.Missing();
    return bytes;
  }
  // The right password opens the item to the original bytes; a wrong one is refused at the
  // header, or, when it passes the header check by chance, fails the CRC or the code.
  void ExpectOpens(const std::string& archive, const std::string& password, TItemScheme scheme,
                   uint16_t wantFlags = 0) {
    if (skipped_) GTEST_SKIP() << "writer not installed";
    if (archive.empty()) return;
    const LocatedItem at = Locate(archive, 0);
    EXPECT_EQ(at.local.Flags & wantFlags, wantFlags);
    const Decoded right = DecodeItem(archive, 0, {password});
    EXPECT_EQ(right.scheme, scheme);
    EXPECT_TRUE(right.opened);
    EXPECT_TRUE(right.proven);
    EXPECT_TRUE(right.output == content_);
    const Decoded wrong = DecodeItem(archive, 0, {password + "x"});
    EXPECT_FALSE(wrong.opened && wrong.proven);
    EXPECT_FALSE(DecodeItem(archive, 0, {""}).proven);
    // Wrong, then right, on one stage: each check starts afresh.
    EXPECT_TRUE(DecodeItem(archive, 0, {RefusedPassword(archive), "", password}).proven);
  }

  // A wrong password that the header check refuses. The archives are made afresh each run, and
  // a traditional header lets one wrong password in 256 through (the item then fails its CRC),
  // so any fixed wrong password would fail this test now and then.
  static std::string RefusedPassword(const std::string& archive) {
    std::string candidate;
    for (int i = 0; i < 64; ++i) {
      candidate = "nope" + std::to_string(i);
      if (!DecodeItem(archive, 0, {candidate}).opened) break;
    }
    return candidate;
  }

  ScratchDir dir_;
  PeerWriter writer_{dir_};
  std::string content_;
  bool skipped_ = false;
};

TEST_F(PeerArchives, InfoZipClassic) {
  ExpectOpens(Make("zip", "zip -q -P 'pass word' c.zip data.txt", "c.zip"), "pass word", TItemScheme::Classic);
  // Stored, with a password that is not ASCII (the bytes go in as they are).
  ExpectOpens(Make("zip", "zip -q -0 -P \"$(printf 'p\\344ss')\" s.zip data.txt", "s.zip"), "p\xe4ss", TItemScheme::Classic);
  // Written to a pipe: the data-descriptor flag is set and the check byte comes from the time.
  ExpectOpens(Make("zip", "zip -q -P pw - data.txt > p.zip", "p.zip"), "pw", TItemScheme::Classic,
              kFlagDataDescriptor);
}

TEST_F(PeerArchives, SevenZipAesAndClassic) {
  for (const char* method : {"AES128", "AES192", "AES256"}) {
    SCOPED_TRACE(method);
    const std::string archive = Make("7z", std::string("7z a -bso0 -bsp0 -tzip -mem=") + method + " '-ppass word' a.zip data.txt", "a.zip");
    ExpectOpens(archive, "pass word", TItemScheme::Aes);
    if (skipped_) return;
    const LocatedItem at = Locate(archive, 0);
    EXPECT_EQ(at.item.CentralDirItem.Method, kMethodAes);
    EXPECT_EQ(at.item.ActualMethod, kMethodDeflate);
  }
  ExpectOpens(Make("7z", "7z a -bso0 -bsp0 -tzip -mx0 -mem=AES256 -psecret s.zip data.txt", "s.zip"), "secret", TItemScheme::Aes);
  // Without the data-descriptor flag: the check byte comes from the CRC-32.
  const std::string classic = Make("7z", "7z a -bso0 -bsp0 -tzip -mem=ZipCrypto -psecret z.zip data.txt", "z.zip");
  ExpectOpens(classic, "secret", TItemScheme::Classic);
  EXPECT_EQ(Locate(classic, 0).local.Flags & kFlagDataDescriptor, 0);
}

TEST_F(PeerArchives, BsdtarAesAndClassic) {
  ExpectOpens(Make("bsdtar",
                   "bsdtar --format zip --options zip:encryption=aes256 --passphrase 'pass word' -cf b.zip data.txt",
                   "b.zip"),
              "pass word", TItemScheme::Aes);
  ExpectOpens(Make("bsdtar", "bsdtar --format zip --options zip:encryption=zipcrypt --passphrase pw -cf z.zip data.txt",
                   "z.zip"),
              "pw", TItemScheme::Classic);
}

TEST_F(PeerArchives, TamperedDataFailsTheCodeOrTheCrc) {
  for (const auto& [tool, command, scheme] :
       {std::tuple{"7z", "7z a -bso0 -bsp0 -tzip -mem=AES256 -psecret t.zip data.txt", TItemScheme::Aes},
        std::tuple{"zip", "zip -q -0 -P secret t.zip data.txt", TItemScheme::Classic}}) {
    std::string archive = Make(tool, command, "t.zip");
    if (skipped_) GTEST_SKIP() << "writer not installed";
    ASSERT_FALSE(archive.empty());
    const LocatedItem at = Locate(archive, 0);
    archive[at.dataOffset + 40] ^= 0x01;
    const Decoded tampered = DecodeItem(archive, 0, {"secret"});
    EXPECT_EQ(tampered.scheme, scheme);
    EXPECT_TRUE(tampered.opened);
    EXPECT_FALSE(tampered.proven);
    // AES: the code itself says so, whatever the data decodes to.
    if (scheme == TItemScheme::Aes) {
      EXPECT_FALSE(tampered.verified);
    }
  }
}

}  // namespace
}  // namespace crypt_test

#endif
