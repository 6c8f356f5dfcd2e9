#include "crypto/rijndael.h"

#include <array>
#include <cstring>
#include <stdexcept>

#include "crypto/aes_impl.h"
#include "crypto/byte_order.h"
#include "crypto/cpu_features.h"

namespace qp_crypto_detail {
namespace {

// The tables of FIPS-197, built from the field GF(2^8) with the polynomial
// x^8 + x^4 + x^3 + x + 1 and the affine map of section 5.1.1. The round tables work on
// little-endian column words: byte r of a word is row r of its column.
constexpr uint8_t XTime(uint8_t x) { return uint8_t((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00)); }

constexpr uint8_t Mul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n) { return uint8_t((x << n) | (x >> (8 - n))); }

constexpr uint32_t Rotl(uint32_t v, int n) { return n == 0 ? v : (v << n) | (v >> (32 - n)); }

struct Tables {
  uint8_t sbox[256]{};
  uint8_t inv[256]{};
  uint32_t te[4][256]{};
  uint32_t td[4][256]{};
  uint8_t rcon[11]{};
};

// Fills zeroed tables. Run once at first use rather than stored in the program: the tables
// are 8.7 KB that the self-extractor would otherwise carry in its file.
constexpr void BuildTables(Tables& t) {
  // S-box: the multiplicative inverse (walking the generator 3 and its inverse), then the
  // affine transformation.
  uint8_t p = 1, q = 1;
  do {
    p = uint8_t(p ^ XTime(p));  // p * 3
    q = uint8_t(q ^ (q << 1));  // q / 3
    q = uint8_t(q ^ (q << 2));
    q = uint8_t(q ^ (q << 4));
    if (q & 0x80) q ^= 0x09;
    const uint8_t s = uint8_t(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^ Rotl8(q, 4) ^ 0x63);
    t.sbox[p] = s;
  } while (p != 1);
  t.sbox[0] = 0x63;
  for (int i = 0; i < 256; ++i) t.inv[t.sbox[i]] = uint8_t(i);
  for (int i = 0; i < 256; ++i) {
    const uint8_t s = t.sbox[i], v = t.inv[i];
    // Column 0 of MixColumns (2, 1, 1, 3) and of InvMixColumns (14, 9, 13, 11).
    const uint32_t e = uint32_t(Mul(s, 2)) | uint32_t(s) << 8 | uint32_t(s) << 16 | uint32_t(Mul(s, 3)) << 24;
    const uint32_t d = uint32_t(Mul(v, 14)) | uint32_t(Mul(v, 9)) << 8 | uint32_t(Mul(v, 13)) << 16 |
                       uint32_t(Mul(v, 11)) << 24;
    for (int k = 0; k < 4; ++k) {
      t.te[k][i] = Rotl(e, 8 * k);
      t.td[k][i] = Rotl(d, 8 * k);
    }
  }
  uint8_t r = 1;
  for (int i = 1; i <= 10; ++i, r = XTime(r)) t.rcon[i] = r;
}

// The builder checked against FIPS-197 while compiling.
constexpr bool BuildsFips197Tables() {
  Tables t{};
  BuildTables(t);
  return t.sbox[0x00] == 0x63 && t.sbox[0x01] == 0x7C && t.sbox[0x53] == 0xED && t.sbox[0xFF] == 0x16 &&
         t.inv[0x00] == 0x52 && t.rcon[10] == 0x36 && t.te[0][0x01] == 0x847C7CF8u &&
         t.td[0][0x01] == 0x5365417Eu;
}
static_assert(BuildsFips197Tables());

// The tables, built by the first caller (threads that get here together wait for it).
const Tables& AesTables() {
  static Tables tables;
  static const bool built = (BuildTables(tables), true);
  (void)built;
  return tables;
}

inline uint32_t B(uint32_t w, int r) { return (w >> (8 * r)) & 0xFF; }

inline uint32_t SubWord(const Tables& t, uint32_t w) {
  return uint32_t(t.sbox[B(w, 0)]) | uint32_t(t.sbox[B(w, 1)]) << 8 | uint32_t(t.sbox[B(w, 2)]) << 16 |
         uint32_t(t.sbox[B(w, 3)]) << 24;
}

inline uint32_t InvMixColumn(const Tables& t, uint32_t w) {
  return t.td[0][t.sbox[B(w, 0)]] ^ t.td[1][t.sbox[B(w, 1)]] ^ t.td[2][t.sbox[B(w, 2)]] ^
         t.td[3][t.sbox[B(w, 3)]];
}

}  // namespace

void AesExpandKey(const uint8_t* key, int keyBytes, int rounds, uint8_t* enc, uint8_t* dec) {
  const Tables& t = AesTables();
  const int nk = keyBytes / 4;
  const int total = 4 * (rounds + 1);
  uint32_t w[60];
  for (int i = 0; i < nk; ++i) w[i] = LoadLE32(key + 4 * i);
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0)
      temp = SubWord(t, Rotl(temp, 24)) ^ t.rcon[i / nk];  // RotWord is a right rotation here
    else if (nk > 6 && i % nk == 4)
      temp = SubWord(t, temp);
    w[i] = w[i - nk] ^ temp;
  }
  for (int i = 0; i < total; ++i) StoreLE32(enc + 4 * i, w[i]);
  for (int r = 0; r <= rounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      uint32_t k = w[4 * (rounds - r) + c];
      if (r != 0 && r != rounds) k = InvMixColumn(t, k);
      StoreLE32(dec + 16 * r + 4 * c, k);
    }
  }
  SecureZero(w, sizeof w);
}

void AesEncryptTable(const uint8_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
  const Tables& tables = AesTables();
  const auto& T = tables.te;
  uint32_t s0 = LoadLE32(in) ^ LoadLE32(rk), s1 = LoadLE32(in + 4) ^ LoadLE32(rk + 4),
           s2 = LoadLE32(in + 8) ^ LoadLE32(rk + 8), s3 = LoadLE32(in + 12) ^ LoadLE32(rk + 12);
  for (int r = 1; r < rounds; ++r) {
    rk += 16;
    const uint32_t t0 = T[0][B(s0, 0)] ^ T[1][B(s1, 1)] ^ T[2][B(s2, 2)] ^ T[3][B(s3, 3)] ^ LoadLE32(rk);
    const uint32_t t1 = T[0][B(s1, 0)] ^ T[1][B(s2, 1)] ^ T[2][B(s3, 2)] ^ T[3][B(s0, 3)] ^ LoadLE32(rk + 4);
    const uint32_t t2 = T[0][B(s2, 0)] ^ T[1][B(s3, 1)] ^ T[2][B(s0, 2)] ^ T[3][B(s1, 3)] ^ LoadLE32(rk + 8);
    const uint32_t t3 = T[0][B(s3, 0)] ^ T[1][B(s0, 1)] ^ T[2][B(s1, 2)] ^ T[3][B(s2, 3)] ^ LoadLE32(rk + 12);
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 16;
  const uint8_t* S = tables.sbox;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, const uint8_t* k) {
    return (uint32_t(S[B(a, 0)]) | uint32_t(S[B(b, 1)]) << 8 | uint32_t(S[B(c, 2)]) << 16 |
            uint32_t(S[B(d, 3)]) << 24) ^
           LoadLE32(k);
  };
  StoreLE32(out, last(s0, s1, s2, s3, rk));
  StoreLE32(out + 4, last(s1, s2, s3, s0, rk + 4));
  StoreLE32(out + 8, last(s2, s3, s0, s1, rk + 8));
  StoreLE32(out + 12, last(s3, s0, s1, s2, rk + 12));
}

void AesDecryptTable(const uint8_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
  const Tables& tables = AesTables();
  const auto& T = tables.td;
  uint32_t s0 = LoadLE32(in) ^ LoadLE32(rk), s1 = LoadLE32(in + 4) ^ LoadLE32(rk + 4),
           s2 = LoadLE32(in + 8) ^ LoadLE32(rk + 8), s3 = LoadLE32(in + 12) ^ LoadLE32(rk + 12);
  for (int r = 1; r < rounds; ++r) {
    rk += 16;
    const uint32_t t0 = T[0][B(s0, 0)] ^ T[1][B(s3, 1)] ^ T[2][B(s2, 2)] ^ T[3][B(s1, 3)] ^ LoadLE32(rk);
    const uint32_t t1 = T[0][B(s1, 0)] ^ T[1][B(s0, 1)] ^ T[2][B(s3, 2)] ^ T[3][B(s2, 3)] ^ LoadLE32(rk + 4);
    const uint32_t t2 = T[0][B(s2, 0)] ^ T[1][B(s1, 1)] ^ T[2][B(s0, 2)] ^ T[3][B(s3, 3)] ^ LoadLE32(rk + 8);
    const uint32_t t3 = T[0][B(s3, 0)] ^ T[1][B(s2, 1)] ^ T[2][B(s1, 2)] ^ T[3][B(s0, 3)] ^ LoadLE32(rk + 12);
    s0 = t0, s1 = t1, s2 = t2, s3 = t3;
  }
  rk += 16;
  const uint8_t* S = tables.inv;
  auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, const uint8_t* k) {
    return (uint32_t(S[B(a, 0)]) | uint32_t(S[B(b, 1)]) << 8 | uint32_t(S[B(c, 2)]) << 16 |
            uint32_t(S[B(d, 3)]) << 24) ^
           LoadLE32(k);
  };
  StoreLE32(out, last(s0, s3, s2, s1, rk));
  StoreLE32(out + 4, last(s1, s0, s3, s2, rk + 4));
  StoreLE32(out + 8, last(s2, s1, s0, s3, rk + 8));
  StoreLE32(out + 12, last(s3, s2, s1, s0, rk + 12));
}

}  // namespace qp_crypto_detail

using namespace qp_crypto_detail;

namespace {
constexpr int kScheduleHalf = 240;
}

TCipher_Rijndael::TCipher_Rijndael() : TCipher(Context()) {}

TCipher_Rijndael::TCipher_Rijndael(const void* key, int keyLength, const void* vector)
    : TCipher(Context()) {
  if (key) InitKey(key, keyLength, vector);
}

void TCipher_Rijndael::SelfTest() { throw ECryptoError("Not implemented 20"); }

void TCipher_Rijndael::Init(const void* key, int keyLength, const void* vector) {
  Wipe();
  if (keyLength < 0 || !key) keyLength = 0;
  if (keyLength > MaxKeySize()) keyLength = MaxKeySize();
  rounds_ = keyLength <= 16 ? 10 : keyLength <= 24 ? 12 : 14;
  const int keyBytes = rounds_ == 10 ? 16 : rounds_ == 12 ? 24 : 32;
  uint8_t padded[32] = {};
  if (keyLength > 0) std::memcpy(padded, key, static_cast<size_t>(keyLength));
  AesExpandKey(padded, keyBytes, rounds_, User(), User() + kScheduleHalf);
  SecureZero(padded, sizeof padded);
  hardware_ = UseAesNi();
  FinishInit(vector);
}

void TCipher_Rijndael::EncodeBlock(void* block) {
  auto* b = static_cast<uint8_t*>(block);
  if (hardware_)
    AesEncryptNi(User(), rounds_, b, b);
  else
    AesEncryptTable(User(), rounds_, b, b);
}

void TCipher_Rijndael::DecodeBlock(void* block) {
  auto* b = static_cast<uint8_t*>(block);
  if (hardware_)
    AesDecryptNi(User() + kScheduleHalf, rounds_, b, b);
  else
    AesDecryptTable(User() + kScheduleHalf, rounds_, b, b);
}

void TCipher_Rijndael::CounterModeBlocks(uint8_t* data, size_t blocks) {
  if (!hardware_) {
    TCipher::CounterModeBlocks(data, blocks);
    return;
  }
  AesCounterBlocksNi(User(), rounds_, CounterBuffer(), data, blocks, KeyStreamBuffer());
}
