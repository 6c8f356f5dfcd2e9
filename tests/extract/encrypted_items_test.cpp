// Encrypted items through the component: both schemes decrypted while decoding (across
// blocks and with inflating ahead), the password loop with scripted answers and with
// OnPassword handlers, skipping, and damaged or tampered encrypted data.
#include <gtest/gtest.h>

#include "archive/base/exception.h"
#include "archive/crypt/classic_keys.h"
#include "tests/extract/extract_fixture.h"
#include "tests/support/scripted_questions.h"

namespace extract_test {
namespace {

ZipEntry Encrypted(std::string name, std::string data, std::string password, uint8_t aesStrength = 0,
                   bool deflate = true) {
  ZipEntry e = Entry(std::move(name), std::move(data), deflate);
  e.password = std::move(password);
  e.aesStrength = aesStrength;
  return e;
}

class EncryptedItems : public ExtractTest {
 protected:
  // Counts item failures and keeps their native errors and messages; the run goes on.
  void CountFailures() {
    arc_.OnProcessFileFailure = [this](TComponent*, const std::u16string&, TQPProcessOperation, int32_t native,
                                       int32_t, const std::u16string& message, TQPAction& action) {
      failures.push_back(native);
      messages.push_back(qp::platform::Utf16ToUtf8(message));
      action = fxaIgnore;
    };
  }
  std::vector<int32_t> failures;
  std::vector<std::string> messages;
  ScriptedQuestions questions;
};

TEST_F(EncryptedItems, BothSchemesOpenWithThePasswordSet) {
  // Over 1 MiB of deflated data, so that decryption carries across blocks and inflating runs
  // ahead; stored items go through the copy path.
  const std::string big = TextLike(6 << 20, 5), noise = RawDeflate(TextLike(1500000, 9), 0);
  Open(ZipBuilder()
           .Add(Encrypted("classic.txt", big, "pass word"))
           .Add(Encrypted("classic.bin", noise, "pass word", 0, false))
           .Add(Encrypted("aes128.txt", big, "pass word", 1))
           .Add(Encrypted("aes192.txt", "short", "pass word", 2))
           .Add(Encrypted("aes256.txt", big, "pass word", 3))
           .Add(Encrypted("aes256.bin", noise, "pass word", 3, false))
           .Add(Encrypted("empty", "", "pass word", 3)));
  arc_.SetPassword("pass word");
  CountFailures();
  ExtractAll();
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(questions.passwordAsked.empty());
  EXPECT_TRUE(Read("classic.txt") == big);
  EXPECT_TRUE(Read("classic.bin") == noise);
  EXPECT_TRUE(Read("aes128.txt") == big);
  EXPECT_EQ(Read("aes192.txt"), "short");
  EXPECT_TRUE(Read("aes256.txt") == big);
  EXPECT_TRUE(Read("aes256.bin") == noise);
  EXPECT_TRUE(Exists("empty"));
}

TEST_F(EncryptedItems, AsksUntilRightAndKeepsTheAnswerForLaterItems) {
  Open(ZipBuilder()
           .Add(Encrypted("d/one.txt", "first", "right"))
           .Add(Encrypted("two.txt", "second", "right", 3))
           .Add(Encrypted("three.txt", "third", "other", 1)));
  // Empty at first: the traditional scheme asks at once, without trying the empty password.
  questions.passwords = {"wrong", "right", "still wrong", "other"};
  CountFailures();
  ExtractAll();
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(questions.passwordAsked, (std::vector<std::u16string>{u"d\\one.txt", u"d\\one.txt", u"three.txt",
                                                                    u"three.txt"}));
  EXPECT_EQ(Read("d/one.txt"), "first");
  EXPECT_EQ(Read("two.txt"), "second");
  EXPECT_EQ(Read("three.txt"), "third");
  EXPECT_EQ(arc_.GetPassword(), "other");
}

TEST_F(EncryptedItems, SkippedItemWritesNothingAndRaisesNothing) {
  Open(ZipBuilder()
           .Add(Encrypted("kept.txt", "new", "secret", 3))
           .Add(Encrypted("gone.txt", "data", "secret"))
           .Add(Entry("plain.txt", "plain")));
  Put("kept.txt", "old");  // an existing file the skipped item was to replace
  arc_.Options().OverwriteMode = omAlways;
  arc_.SetPassword("wrong");
  CountFailures();
  ExtractAll();  // nobody answers: every encrypted item is skipped
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(questions.passwordAsked.size(), 2u);
  EXPECT_EQ(Read("kept.txt"), "old");
  EXPECT_FALSE(Exists("gone.txt"));
  EXPECT_EQ(Read("plain.txt"), "plain");
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/kept.txt", "out/plain.txt", "test.zip"}));

  // Decoding into a stream: nothing written, nothing raised.
  TQPMemoryStream stream;
  EXPECT_NO_THROW(arc_.ExtractItemToStream(1, stream));
  EXPECT_TRUE(stream.Data().empty());
}

TEST_F(EncryptedItems, HandlerThatOffersNothingNewEndsAsSkip) {
  Open(ZipBuilder().Add(Encrypted("a.txt", "A", "right", 3)).Add(Encrypted("b.txt", "B", "right")));
  CountFailures();
  int calls = 0;
  // Neither changes the password nor skips: without a limit this would ask forever.
  arc_.OnPassword = [&](TComponent*, const std::u16string&, std::string&, bool&) { ++calls; };
  arc_.SetPassword("wrong");
  ExtractAll();
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_FALSE(Exists("b.txt"));

  // Two wrong answers in turn end once one comes back; a new answer that is right opens.
  calls = 0;
  arc_.OnPassword = [&](TComponent*, const std::u16string&, std::string& password, bool&) {
    const char* answers[] = {"x", "y", "x", "right"};
    password = answers[calls++ % 4];
  };
  arc_.SetPassword("wrong");
  ExtractAll();
  EXPECT_EQ(calls, 4);  // a.txt: x, y, x again (skip); b.txt starts from "x": right
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_EQ(Read("b.txt"), "B");
  EXPECT_TRUE(failures.empty());
  // Handlers are not the built-in question.
  EXPECT_TRUE(questions.passwordAsked.empty());
}

TEST_F(EncryptedItems, PersonAtTheQuestionIsAskedAsLongAsTheyAnswer) {
  Open(ZipBuilder().Add(Encrypted("a.txt", "A", "right", 3)));
  questions.passwords = {"same", "same", "same", "right"};
  ExtractAll();
  EXPECT_EQ(questions.passwordAsked.size(), 4u);
  EXPECT_EQ(Read("a.txt"), "A");
}

TEST_F(EncryptedItems, DamagedOrTamperedDataFailsWithError8AndKeepsNothing) {
  const std::string text = TextLike(300000, 4);
  ZipEntry aes = Encrypted("aes.txt", text, "pw", 3);
  ZipEntry classic = Encrypted("classic.txt", text, "pw", 0, false);
  ZipEntry tooShort = Encrypted("short.txt", "abc", "pw", 3);
  tooShort.storedCompressedSize = 20;  // AES-256 needs 28 bytes before any data
  ZipEntry shortClassic = Encrypted("short2.txt", "abc", "pw");
  shortClassic.storedCompressedSize = 11;
  ZipEntry overlong = Encrypted("long.txt", "abc", "pw", 1);
  // One byte short, so the code is read one byte early and does not match. (A size running
  // on into the next item would share that item's bytes, which refuses the archive at open.)
  overlong.storedCompressedSize = 8 + 2 + 3 + 10 - 1;
  std::string bytes =
      ZipBuilder().Add(aes).Add(classic).Add(tooShort).Add(shortClassic).Add(overlong).Add(Entry("x", "x")).Build();
  // One byte in the middle of each of the first two items' data.
  const size_t aesData = 30 + 7 + 11;
  bytes[aesData + 18 + 1000] ^= 0x40;
  const size_t classicAt = bytes.find("classic.txt");
  bytes[classicAt + 11 + 12 + 5000] ^= 0x01;
  Open(bytes);
  arc_.SetPassword("pw");
  CountFailures();
  ExtractAll();
  EXPECT_EQ(failures, (std::vector<int32_t>{8, 8, 8, 8, 8}));
  EXPECT_EQ(Everything(), (std::vector<std::string>{"out", "out/x", "test.zip"}));
  for (const std::string& m : messages) EXPECT_EQ(m.find("pw"), std::string::npos) << m;
  EXPECT_TRUE(questions.passwordAsked.empty());
}

TEST_F(EncryptedItems, ArchiveEndingInsideTheEncryptedDataFailsWithError8) {
  // No directory: the items are rebuilt from their local headers, and the junk in front keeps
  // the file longer than the item claims to be. Three blocks of data, so that the end can
  // also come inside the block that is read and decrypted ahead.
  constexpr size_t kSize = 2500000, kPrefix = 3000000;
  for (const uint8_t strength : {uint8_t{0}, uint8_t{3}}) {
    const ZipEntry e = Encrypted("cut.txt", TextLike(kSize, 8), "pw", strength, false);
    const std::string whole = ZipBuilder().Prefix(std::string(kPrefix, 'j')).Add(e).OmitEndRecord().Build();
    const size_t data = kPrefix + 30 + 7 + (strength ? 11 : 0), header = strength ? 18 : 12;
    // In the encryption header, the first block, the block read ahead, the data's last byte
    // (classic) or the authentication code (AES).
    const size_t last = strength ? data + header + kSize + 4 : data + header + kSize - 1;
    for (const size_t cut : {data + 5, data + header + 100000, data + header + 1500000, last}) {
      SCOPED_TRACE(cut);
      arc_.CloseArchive();
      Open(whole.substr(0, cut));
      ASSERT_EQ(arc_.ItemCount(), 1);
      arc_.SetPassword("pw");
      failures.clear();
      CountFailures();
      ExtractAll();
      EXPECT_EQ(failures, std::vector<int32_t>{8});
      EXPECT_FALSE(Exists("cut.txt"));
    }
  }
}

TEST_F(EncryptedItems, WrongPasswordPassingTheCheckByChanceEndsInError8) {
  const std::string text = TextLike(100000, 6);
  ZipEntry e = Encrypted("chance.txt", text, "right");
  const std::string bytes = ZipBuilder().Add(e).Build();
  // One password in 256 passes the one-byte check of the traditional scheme.
  const auto* header = reinterpret_cast<const uint8_t*>(bytes.data()) + 30 + e.name.size();
  std::string lucky;
  for (int i = 0; lucky.empty(); ++i) {
    ClassicKeys keys;
    const std::string candidate = "guess" + std::to_string(i);
    if (CheckClassicPassword({header, 12}, candidate, keys, TestCrc32(text), e.time, 0)) lucky = candidate;
  }
  Open(bytes);
  arc_.SetPassword(lucky);
  CountFailures();
  ExtractAll();
  EXPECT_EQ(failures, std::vector<int32_t>{8});
  EXPECT_FALSE(Exists("chance.txt"));
  EXPECT_TRUE(questions.passwordAsked.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].find(lucky), std::string::npos);
}

TEST_F(EncryptedItems, SchemeAndChecksFollowTheDirectoryRecord) {
  // Bit 3: the check byte is the high byte of the time, not of the CRC.
  ZipEntry streamed = Encrypted("streamed.txt", "streamed", "pw");
  streamed.dataDescriptor = true;
  streamed.time = 0xAB12;
  // AES items prove themselves by their code; the stored CRC plays no part.
  ZipEntry noCrc = Encrypted("nocrc.txt", "aes data", "pw", 2);
  noCrc.crc = 0;
  // An AES field with strength 4 leaves the item on the traditional scheme, yet names the
  // method of its data.
  ZipEntry strength4 = Encrypted("s4.txt", "classic inside", "pw");
  strength4.method = 99;
  strength4.centralExtra = AesExtraField(4, 8);
  // From version 16660 on, neither AES (its field is not even read) nor any check after
  // decoding.
  ZipEntry strong = Encrypted("strong.txt", "unchecked", "pw");
  strong.versionNeeded = 16660;
  strong.crc = 0x12345678;
  strong.centralExtra = AesExtraField(3, 12);
  Open(ZipBuilder().Add(streamed).Add(noCrc).Add(strength4).Add(strong));
  arc_.SetPassword("pw");
  CountFailures();
  ExtractAll();
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Read("streamed.txt"), "streamed");
  EXPECT_EQ(Read("nocrc.txt"), "aes data");
  EXPECT_EQ(Read("s4.txt"), "classic inside");
  EXPECT_EQ(Read("strong.txt"), "unchecked");
}

}  // namespace
}  // namespace extract_test
