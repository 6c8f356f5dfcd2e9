// The cipher framework: flags, errors, Init/InitKey/FinishInit/ResetChaining/Wipe, the nine
// modes, and the TProtection operations (buffer, stream, file, string, chaining).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "crypto/rijndael.h"
#include "crypto_test_util.h"

namespace {

const std::vector<uint8_t> kKey = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const std::vector<uint8_t> kIv = FromHex("f0e1d2c3b4a5968778695a4b3c2d1e0f");

template <typename F>
void ExpectPlainError(F f, const char* text) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected " << text;
  } catch (const ECipherException& e) {
    ADD_FAILURE() << "ECipherException " << e.what() << ", expected a plain " << text;
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), text);
  }
}

template <typename F>
void ExpectNotInitialized(F f, const char* className) {
  try {
    f();
    ADD_FAILURE() << "no exception";
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
    EXPECT_EQ(std::string(e.what()), std::string(className) + " is not initialized call Init() or InitKey() before.");
  }
}

TEST(CipherErrors, UseBeforeInitRaisesCode3WithClassName) {
  TCipher_Rijndael aes;
  EXPECT_EQ(aes.Flags(), 0u);
  uint8_t buf[16] = {};
  ExpectNotInitialized([&] { aes.EncryptData(buf, buf, 16); }, "TCipher_Rijndael");
  ExpectNotInitialized([&] { aes.DecryptData(buf, buf, 16); }, "TCipher_Rijndael");
  ExpectNotInitialized([&] { aes.ProcessBuffer(buf, 16, paEncode); }, "TCipher_Rijndael");
  TCipher plain;
  ExpectNotInitialized([&] { plain.EncryptData(buf, buf, 16); }, "TCipher");
}

TEST(CipherErrors, UseAfterWipeRaisesCode3) {
  TCipher_Rijndael aes(kKey.data(), 32);
  EXPECT_EQ(aes.Flags(), TCipher::kFlagKeyed | TCipher::kFlagInitialized);
  aes.Wipe();
  EXPECT_EQ(aes.Flags(), 0u);
  uint8_t buf[16] = {};
  ExpectNotInitialized([&] { aes.EncryptData(buf, buf, 16); }, "TCipher_Rijndael");
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(aes.Vector()[i], 0);
    EXPECT_EQ(aes.Feedback()[i], 0);
    EXPECT_EQ(aes.CounterBlock()[i], 0);
  }
}

TEST(CipherErrors, NotImplementedTexts) {
  TCipher plain;
  ExpectPlainError([&] { plain.SelfTest(); }, "Not implemented 14");
  TCipher_Rijndael aes(kKey.data(), 32);
  uint8_t buf[4] = {};
  ExpectPlainError([&] { aes.BeginAction(paWipe); }, "Not implemented 12");
  ExpectPlainError([&] { aes.EndAction(paWipe); }, "Not implemented 12");
  ExpectPlainError([&] { aes.ProcessBuffer(buf, 4, paWipe); }, "Not implemented 12");
}

TEST(CipherErrors, KeySizeMessageText) {
  const ECipherException e = ECipherException::KeySizeInvalid("TCipher_Rijndael", 0, 32);
  EXPECT_EQ(e.ErrorCode(), 2);
  EXPECT_STREQ(e.what(), "Length from Encryptionkey is invalid.\r\nKeysize for TCipher_Rijndael must be to 0-32 bytes");
}

TEST(CipherFlags, InitSetsOnlyInitializedInitKeySetsBoth) {
  TCipher_Rijndael aes;
  aes.Init(kKey.data(), 32, nullptr);
  EXPECT_EQ(aes.Flags(), TCipher::kFlagInitialized);
  aes.InitKey(kKey.data(), 32);
  EXPECT_EQ(aes.Flags(), TCipher::kFlagKeyed | TCipher::kFlagInitialized);
  aes.ChangeFlag(5, true);
  EXPECT_EQ(aes.Flags(), TCipher::kFlagKeyed | TCipher::kFlagInitialized | (1u << 5));
  aes.ChangeFlag(5, false);
  aes.ChangeFlag(1, false);
  EXPECT_EQ(aes.Flags(), TCipher::kFlagKeyed);
}

TEST(CipherInit, FinishInitWithoutVectorEncryptsZeroBlock) {
  TCipher_Rijndael aes(kKey.data(), 32);
  TCipher_Rijndael ecb(kKey.data(), 32);
  uint8_t zero[16] = {};
  ecb.EncodeBlock(zero);  // note: ecb's own vector is E(0) as well
  EXPECT_EQ(0, std::memcmp(aes.Vector(), zero, 16));
  EXPECT_EQ(0, std::memcmp(aes.Feedback(), zero, 16));
}

TEST(CipherInit, GivenVectorIsCopied) {
  TCipher_Rijndael aes(kKey.data(), 32, kIv.data());
  EXPECT_EQ(0, std::memcmp(aes.Vector(), kIv.data(), 16));
  EXPECT_EQ(0, std::memcmp(aes.Feedback(), kIv.data(), 16));
}

TEST(CipherInit, ResetChainingRestoresVectorAndKeepsOldFeedback) {
  TCipher_Rijndael aes(kKey.data(), 32, kIv.data());
  aes.SetMode(cmCBC);
  uint8_t data[32] = {1, 2, 3};
  aes.EncryptData(data, data, 32);
  EXPECT_EQ(0, std::memcmp(aes.Feedback(), data + 16, 16));  // CBC: the last cipher block
  aes.ResetChaining();
  EXPECT_EQ(0, std::memcmp(aes.Feedback(), kIv.data(), 16));
  EXPECT_EQ(0, std::memcmp(aes.WorkBuffer(), data + 16, 16));
}

class ModeTest : public BothPaths {};
QP_BOTH_PATHS(ModeTest);

TEST_P(ModeTest, EveryDataModeRoundTripsAnyLength) {
  std::mt19937 rng(11);
  for (TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmCounterMode}) {
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 100u, 1000u}) {
      const auto data = RandomBytes(rng, length);
      TCipher_Rijndael enc(kKey.data(), 32, kIv.data()), dec(kKey.data(), 32, kIv.data());
      enc.SetMode(mode);
      dec.SetMode(mode);
      std::vector<uint8_t> c(length), p(length);
      enc.EncryptData(data.data(), c.data(), length);
      if (length >= 16) {
        EXPECT_NE(c, data) << int(mode);
      }
      dec.DecryptData(c.data(), p.data(), length);
      EXPECT_EQ(p, data) << "mode " << int(mode) << " length " << length;
      // In place as well.
      TCipher_Rijndael enc2(kKey.data(), 32, kIv.data()), dec2(kKey.data(), 32, kIv.data());
      enc2.SetMode(mode);
      dec2.SetMode(mode);
      auto buf = data;
      enc2.EncryptData(buf.data(), buf.data(), length);
      EXPECT_EQ(buf, c);
      dec2.DecryptData(buf.data(), buf.data(), length);
      EXPECT_EQ(buf, data);
    }
  }
}

TEST_P(ModeTest, CtsByDefinition) {
  // Mode 0: C = E(P ^ F); F ^= C; a partial block is XORed with E(F).
  std::mt19937 rng(13);
  const auto data = RandomBytes(rng, 16 * 3 + 5);
  TCipher_Rijndael aes(kKey.data(), 32, kIv.data()), ecb(kKey.data(), 32);
  EXPECT_EQ(aes.Mode(), cmCTS);  // the default
  std::vector<uint8_t> out(data.size());
  aes.EncryptData(data.data(), out.data(), data.size());
  uint8_t f[16];
  std::memcpy(f, kIv.data(), 16);
  for (size_t b = 0; b < 3; ++b) {
    uint8_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = data[16 * b + i] ^ f[i];
    ecb.EncodeBlock(x);
    ASSERT_EQ(0, std::memcmp(x, out.data() + 16 * b, 16));
    for (int i = 0; i < 16; ++i) f[i] ^= x[i];
  }
  uint8_t k[16];
  std::memcpy(k, f, 16);
  ecb.EncodeBlock(k);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out[48 + i], data[48 + i] ^ k[i]);
}

TEST_P(ModeTest, MacModesUpdateFeedbackAndWriteNothing) {
  std::mt19937 rng(14);
  const auto data = RandomBytes(rng, 64);
  const std::pair<TCipherMode, TCipherMode> pairs[] = {{cmCTSMAC, cmCTS}, {cmCBCMAC, cmCBC}, {cmCFBMAC, cmCFB}};
  for (auto [mac, base] : pairs) {
    TCipher_Rijndael m(kKey.data(), 32, kIv.data()), b(kKey.data(), 32, kIv.data());
    m.SetMode(mac);
    b.SetMode(base);
    std::vector<uint8_t> out(64, 0xEE), scratch(64);
    m.EncryptData(data.data(), out.data(), 64);
    b.EncryptData(data.data(), scratch.data(), 64);
    EXPECT_EQ(out, std::vector<uint8_t>(64, 0xEE)) << int(mac);
    EXPECT_EQ(0, std::memcmp(m.Feedback(), b.Feedback(), 16)) << int(mac);
    // DecryptData computes the same code over the data.
    TCipher_Rijndael d(kKey.data(), 32, kIv.data());
    d.SetMode(mac);
    d.DecryptData(data.data(), out.data(), 64);
    EXPECT_EQ(0, std::memcmp(d.Feedback(), m.Feedback(), 16)) << int(mac);
  }
}

TEST(CipherMac, PartialTailChangesTheCode) {
  for (TCipherMode mode : {cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
    std::vector<uint8_t> a(37, 0x21), b = a;
    b[36] ^= 1;
    TCipher_Rijndael x(kKey.data(), 32, kIv.data()), y(kKey.data(), 32, kIv.data());
    x.SetMode(mode);
    y.SetMode(mode);
    x.EncryptData(a.data(), a.data(), a.size());
    y.EncryptData(b.data(), b.data(), b.size());
    EXPECT_NE(0, std::memcmp(x.Feedback(), y.Feedback(), 16)) << int(mode);
  }
}

TEST(Protection, ProcessBufferResetsChainingAroundTheCall) {
  TCipher_Rijndael a(kKey.data(), 32, kIv.data()), b(kKey.data(), 32, kIv.data());
  a.SetMode(cmCBC);
  b.SetMode(cmCBC);
  std::vector<uint8_t> x(48, 0x42), y(48, 0x42);
  EXPECT_EQ(a.ProcessBuffer(x.data(), 48, paEncode), 48u);
  b.EncryptData(y.data(), y.data(), 48);
  EXPECT_EQ(x, y);
  EXPECT_EQ(0, std::memcmp(a.Feedback(), kIv.data(), 16));  // reset by EndAction
  a.ProcessBuffer(x.data(), 48, paDecode);
  EXPECT_EQ(x, std::vector<uint8_t>(48, 0x42));
}

TEST(Protection, CalcMacKeepsTheChaining) {
  TCipher_Rijndael a(kKey.data(), 32, kIv.data());
  a.SetMode(cmCBCMAC);
  std::vector<uint8_t> x(32, 7);
  a.ProcessBuffer(x.data(), 32, paCalcMAC);
  EXPECT_NE(0, std::memcmp(a.Feedback(), kIv.data(), 16));
}

TEST(Protection, ChainedCiphersEncodeInOrderAndDecodeInReverse) {
  const std::vector<uint8_t> key2(16, 0x5A);
  auto inner = std::make_shared<TCipher_Rijndael>(key2.data(), 16);
  inner->SetMode(cmCounterMode);
  TCipher_Rijndael outer(kKey.data(), 32);
  outer.SetMode(cmCBC);
  outer.SetChain(inner);
  std::vector<uint8_t> data(64);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  auto buf = data;
  outer.ProcessBuffer(buf.data(), buf.size(), paEncode);
  // By hand: outer first, then the chained cipher.
  TCipher_Rijndael o2(kKey.data(), 32), i2(key2.data(), 16);
  o2.SetMode(cmCBC);
  i2.SetMode(cmCounterMode);
  auto ref = data;
  o2.EncryptData(ref.data(), ref.data(), ref.size());
  i2.EncryptData(ref.data(), ref.data(), ref.size());
  EXPECT_EQ(buf, ref);
  inner->InitKey(key2.data(), 16);  // restart its counter
  outer.ProcessBuffer(buf.data(), buf.size(), paDecode);
  EXPECT_EQ(buf, data);
}

TEST(Protection, ProcessStreamAndStringRoundTrip) {
  std::mt19937 rng(15);
  const auto bytes = RandomBytes(rng, 200000);
  const std::string text(bytes.begin(), bytes.end());
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  std::istringstream in(text);
  std::ostringstream out;
  int64_t lastDone = -1, total = -1;
  aes.SetOnProgress([&](int64_t done, int64_t all) {
    lastDone = done;
    total = all;
  });
  EXPECT_EQ(aes.ProcessStream(in, out, paEncode, -1), 200000);
  EXPECT_EQ(lastDone, 200000);
  EXPECT_EQ(total, 200000);
  TCipher_Rijndael ref(kKey.data(), 32);
  ref.SetMode(cmCounterMode);
  auto expected = bytes;
  ref.EncryptData(expected.data(), expected.data(), expected.size());
  EXPECT_EQ(out.str(), std::string(expected.begin(), expected.end()));

  TCipher_Rijndael s(kKey.data(), 32, kIv.data());
  s.SetMode(cmCBC);
  const std::string encoded = s.ProcessString(text.substr(0, 1000), paEncode);
  EXPECT_EQ(encoded.size(), 1000u);
  EXPECT_NE(encoded, text.substr(0, 1000));
  EXPECT_EQ(s.ProcessString(encoded, paDecode), text.substr(0, 1000));
  EXPECT_EQ(s.ProcessString(encoded, paDecode, &TStringFormat::Copy()), text.substr(0, 1000));
}

TEST(Protection, ProcessStreamWithSizeFromCurrentPosition) {
  TCipher_Rijndael aes(kKey.data(), 32);
  aes.SetMode(cmCounterMode);
  std::istringstream in(std::string(100, 'x'));
  in.seekg(10);
  std::ostringstream out;
  EXPECT_EQ(aes.ProcessStream(in, out, paEncode, 50), 50);
  EXPECT_EQ(out.str().size(), 50u);
}

TEST(Protection, ProcessFileToAnotherFileAndInPlace) {
  const auto dir = std::filesystem::temp_directory_path() / ("qp_crypto_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto a = dir / "plain.bin", b = dir / "cipher.bin";
  std::mt19937 rng(16);
  const auto bytes = RandomBytes(rng, 150000);
  { std::ofstream(a, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())); }
  auto read = [](const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  };
  TCipher_Rijndael aes(kKey.data(), 32, kIv.data());
  aes.SetMode(cmCTS);
  aes.ProcessFile(a, b, paEncode);
  auto expected = bytes;
  TCipher_Rijndael ref(kKey.data(), 32, kIv.data());
  ref.EncryptData(expected.data(), expected.data(), expected.size());
  EXPECT_EQ(read(b), expected);
  // In place: a blank destination, and the same name in another letter case.
  aes.ProcessFile(b, std::filesystem::path(), paDecode);
  EXPECT_EQ(read(b), bytes);
  aes.ProcessFile(b, dir / "CIPHER.BIN", paEncode);
  EXPECT_EQ(read(b), expected);
  EXPECT_EQ(read(b).size(), bytes.size());
  std::filesystem::remove_all(dir);
}

TEST(Protection, PlainProtectionPassesToChain) {
  auto aes = std::make_shared<TCipher_Rijndael>(kKey.data(), 32);
  aes->SetMode(cmCounterMode);
  TProtection p(aes);
  std::vector<uint8_t> x(20, 1), y(20, 1);
  p.ProcessBuffer(x.data(), 20, paEncode);
  TCipher_Rijndael ref(kKey.data(), 32);
  ref.SetMode(cmCounterMode);
  ref.EncryptData(y.data(), y.data(), 20);
  EXPECT_EQ(x, y);
}

}  // namespace
