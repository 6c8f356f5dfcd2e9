// Encrypted archives made by real writers (7-Zip, Info-ZIP zip, also streamed, and bsdtar),
// extracted through the component: the right password gives the same bytes; a wrong one is
// asked about again through the scripted question; a skipped item leaves no file. Native
// builds only: the writers are not there under wine.
#include <gtest/gtest.h>

#include <random>

#include "tests/extract/extract_fixture.h"
#include "tests/support/peer_writer.h"
#include "tests/support/scripted_questions.h"

#ifndef _WIN32

namespace extract_test {
namespace {

class PeerEncrypted : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    // Over one block of deflated data, so that decrypting ahead is part of it.
    std::mt19937 rng(11);
    big_ = TextLike(3 << 20, 3);
    for (char& c : big_)
      if (rng() % 7 == 0) c = static_cast<char>('a' + rng() % 26);
    small_ = "a small file\n";
    sources_.Write("in/big.txt", big_);
    sources_.Write("in/sub/small.txt", small_);
  }

  // `command` runs in the folder above "in" and writes `archive` there.
  std::string Make(const std::string& tool, const std::string& command, const std::string& archive) {
    std::string bytes = writer_.Make(tool, command, archive);
    missing_ = writer_.Missing();
    return bytes;
  }

  // The files that were extracted, without folders.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Native(dest_)))
      if (e.is_regular_file()) files.push_back(std::filesystem::relative(e.path(), Native(dest_)).generic_string());
    std::sort(files.begin(), files.end());
    return files;
  }

  // A password unlike `password` that no item's own check lets through. The traditional
  // scheme checks one byte, so a wrong password passes it once in 256 tries and the item
  // then fails its CRC: the writers salt each archive anew, so a fixed wrong password would
  // make the test fail by chance.
  std::string RefusedPassword(const std::string& password, const std::string& stem) {
    for (int n = 0;; ++n) {
      const std::string candidate = stem + " " + std::to_string(n) + " " + password;
      int asked = 0;
      bool failed = false;
      arc_.OnPassword = [&](TComponent*, const std::u16string&, std::string&, bool& skip) {
        ++asked;
        skip = true;
      };
      arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                      const std::u16string&, TQPAction& action) {
        failed = true;
        action = fxaIgnore;
      };
      arc_.SetPassword(candidate);
      arc_.TestFiles(u"*.*", 10431, u"");
      arc_.OnPassword = nullptr;
      arc_.OnProcessFileFailure = nullptr;
      if (!failed && asked == 2) return candidate;
    }
  }

  void ExpectRoundTrip(const std::string& archive, const std::string& password) {
    if (missing_) GTEST_SKIP() << "writer not installed";
    ASSERT_FALSE(archive.empty());
    Open(archive);
    arc_.Options().OverwriteMode = omAlways;
    const std::string wrong = RefusedPassword(password, "not");
    const std::string stillWrong = RefusedPassword(password, "still wrong");
    int failures = 0;
    arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                    const std::u16string&, TQPAction& action) {
      ++failures;
      action = fxaIgnore;
    };

    // The right password set beforehand: nobody is asked.
    arc_.SetPassword(password);
    ExtractAll();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(questions_.passwordAsked.empty());
    EXPECT_TRUE(Read("big.txt") == big_);
    EXPECT_EQ(Read("sub/small.txt"), small_);
    std::filesystem::remove_all(Native(dest_));

    // A wrong one: asked again until the right answer, which then serves the other item.
    arc_.SetPassword(wrong);
    questions_.passwords = {stillWrong, password};
    ExtractAll();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(questions_.passwordAsked.size(), 2u);
    EXPECT_TRUE(Read("big.txt") == big_);
    EXPECT_EQ(Read("sub/small.txt"), small_);
    std::filesystem::remove_all(Native(dest_));

    // Nobody answers: every item is skipped, no file is left and nothing failed.
    arc_.SetPassword("");
    ExtractAll();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(Files().empty());
  }

  ScratchDir sources_;
  PeerWriter writer_{sources_};
  bool missing_ = false;
  std::string big_, small_;
  ScriptedQuestions questions_;
};

TEST_F(PeerEncrypted, SevenZip) {
  for (const char* method : {"AES128", "AES192", "AES256", "ZipCrypto"}) {
    SCOPED_TRACE(method);
    questions_.passwordAsked.clear();
    arc_.CloseArchive();
    ExpectRoundTrip(Make("7z", std::string("cd in && 7z a -bso0 -bsp0 -tzip -mem=") + method +
                                   " '-ppass word' ../a.zip big.txt sub",
                         "a.zip"),
                    "pass word");
  }
}

TEST_F(PeerEncrypted, InfoZip) {
  ExpectRoundTrip(Make("zip", "cd in && zip -q -r -P 'pass word' ../a.zip .", "a.zip"), "pass word");
}

TEST_F(PeerEncrypted, InfoZipWithBytesOutsideAscii) {
  // The password's bytes as a Windows writer stores them (the ANSI code page).
  ExpectRoundTrip(Make("zip", "cd in && zip -q -r -P \"$(printf 'p\\344ss w\\366rd')\" ../a.zip .", "a.zip"),
                  "p\xe4ss w\xf6rd");
}

TEST_F(PeerEncrypted, InfoZipStreamed) {
  // Written to a pipe: flag bit 3 on every item, the check byte from the time.
  const std::string archive = Make("zip", "cd in && zip -q -P pw -r - . > ../p.zip", "p.zip");
  if (!archive.empty()) {
    Open(archive);
    int encrypted = 0;
    for (int32_t i = 0; i < arc_.ItemCount(); ++i) {
      const uint16_t flags = arc_.DirManager()->Directory.ItemRef(i).CentralDirItem.Flags;
      if (!(flags & 0x0001)) continue;
      ++encrypted;
      EXPECT_NE(flags & 0x0008, 0);
    }
    EXPECT_EQ(encrypted, 2);
    arc_.CloseArchive();
  }
  ExpectRoundTrip(archive, "pw");
}

TEST_F(PeerEncrypted, Bsdtar) {
  for (const char* scheme : {"aes256", "zipcrypt"}) {
    SCOPED_TRACE(scheme);
    questions_.passwordAsked.clear();
    arc_.CloseArchive();
    ExpectRoundTrip(Make("bsdtar", std::string("cd in && bsdtar --format zip --options zip:encryption=") + scheme +
                                       " --passphrase \"$(printf 'gr\\374n gelb')\" -cf ../b.zip big.txt sub",
                         "b.zip"),
                    "gr\xfcn gelb");
  }
}

}  // namespace
}  // namespace extract_test

#endif
