// The test-only ZIP writer.
#include "tests/support/zip_builder.h"

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "archive/crypt/aes_transform.h"
#include "archive/crypt/classic_keys.h"

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

uint16_t FlagsOf(const ZipEntry& e) {
  return static_cast<uint16_t>(e.flags | (e.dataDescriptor ? 0x0008 : 0) | (e.password.empty() ? 0 : 0x0001));
}

uint16_t MethodOf(const ZipEntry& e) {
  if (e.method) return *e.method;
  if (!e.password.empty() && e.aesStrength != 0) return 99;
  return e.deflate ? 8 : 0;
}

std::string ClassicEncrypted(const ZipEntry& e, const std::string& payload, uint32_t crc) {
  ClassicKeys keys;
  InitClassicKeys(keys, e.password);
  std::string header(12, '\0');
  for (size_t i = 0; i < 11; ++i) header[i] = static_cast<char>(i * 37 + e.data.size());
  header[11] = static_cast<char>(e.dataDescriptor ? e.time >> 8 : crc >> 24);
  std::string out = header + payload;
  for (char& c : out) {
    const uint8_t plain = static_cast<uint8_t>(c);
    c = static_cast<char>(plain ^ ClassicStreamByte(keys));
    UpdateClassicKeys(keys, plain);
  }
  return out;
}

std::string AesEncrypted(const ZipEntry& e, const std::string& payload) {
  TAESCryptoTransform aes(AesKeyBits(static_cast<TQPCryptoAlgorithm>(e.aesStrength)), e.deflate ? 8 : 0, 2);
  aes.SetTransformMode(tmEncryption);
  aes.Initialize(e.password);
  const std::vector<uint8_t> header = aes.GetEncryptionHeader();
  std::string data = payload;
  auto* bytes = reinterpret_cast<uint8_t*>(data.data());
  aes.EncryptBuffer(bytes, 0, bytes, 0, data.size());
  const std::vector<uint8_t> code = aes.FinishAuthenticationCode();
  return std::string(header.begin(), header.end()) + data + std::string(code.begin(), code.end());
}

}  // namespace

std::string AesExtraField(uint8_t strength, uint16_t actualMethod) {
  std::string data;
  Put16(data, 2);
  data += "AE";
  data += static_cast<char>(strength);
  Put16(data, actualMethod);
  return ExtraField(0x9901, data);
}

std::string ExtraField(uint16_t id, const std::string& data) {
  std::string out;
  Put16(out, id);
  Put16(out, static_cast<uint32_t>(data.size()));
  return out + data;
}

std::string UnicodeNameField(const std::u16string& name, std::optional<uint32_t> count, uint32_t signature) {
  std::string data;
  Put32(data, signature);
  Put32(data, count.value_or(static_cast<uint32_t>(name.size())));
  for (char16_t c : name) Put16(data, c);
  return ExtraField(0x554E, data);
}

std::string UnicodePathField(const std::string& utf8, const std::string& forName, uint8_t version) {
  std::string data(1, static_cast<char>(version));
  Put32(data, TestCrc32(forName));
  return ExtraField(0x7075, data + utf8);
}

std::string RawDeflate(const std::string& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&z, Z_FINISH);
  deflateEnd(&z);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  return out;
}

uint32_t TestCrc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string ZipBuilder::Build() const {
  std::string out = prefix_;
  const uint64_t base = relative_ ? prefix_.size() : 0;
  std::vector<uint64_t> offsets;
  std::vector<std::string> payloads;
  for (const ZipEntry& e : entries_) {
    std::string payload = e.deflate ? RawDeflate(e.data) : e.data;
    const uint32_t crc = e.crc.value_or(TestCrc32(e.data));
    const uint16_t method = MethodOf(e);
    const uint16_t flags = FlagsOf(e);
    std::string localExtra = e.localExtra;
    if (!e.password.empty() && e.aesStrength != 0) {
      payload = AesEncrypted(e, payload);
      localExtra += AesExtraField(e.aesStrength, e.deflate ? 8 : 0);
    } else if (!e.password.empty()) {
      payload = ClassicEncrypted(e, payload, crc);
    }
    offsets.push_back(out.size() - base);
    payloads.push_back(payload);
    Put32(out, 0x04034B50);
    Put16(out, e.versionNeeded);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, e.time);
    Put16(out, e.date);
    Put32(out, e.dataDescriptor ? 0 : crc);
    Put32(out, e.dataDescriptor ? 0 : static_cast<uint32_t>(payload.size()));
    Put32(out, e.dataDescriptor ? 0 : static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, static_cast<uint32_t>(localExtra.size()));
    out += e.name;
    out += localExtra;
    out += payload;
    if (e.dataDescriptor) {
      Put32(out, 0x08074B50);
      Put32(out, crc);
      Put32(out, static_cast<uint32_t>(payload.size()));
      Put32(out, static_cast<uint32_t>(e.data.size()));
    }
  }
  const uint64_t dirStart = out.size();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ZipEntry& e = entries_[i];
    std::string extra = e.centralExtra;
    if (!e.password.empty() && e.aesStrength != 0) extra += AesExtraField(e.aesStrength, e.deflate ? 8 : 0);
    uint32_t compressed = e.storedCompressedSize.value_or(static_cast<uint32_t>(payloads[i].size()));
    uint32_t uncompressed = e.storedUncompressedSize.value_or(static_cast<uint32_t>(e.data.size()));
    uint32_t offset = static_cast<uint32_t>(offsets[i]);
    if (e.zip64) {
      std::string data;
      Put64(data, e.data.size());
      Put64(data, payloads[i].size());
      Put64(data, offsets[i]);
      if (e.zip64FieldBytes) data.resize(*e.zip64FieldBytes);
      extra = ExtraField(0x0001, data) + extra;
      compressed = uncompressed = offset = 0xFFFFFFFF;
    }
    Put32(out, 0x02014B50);
    Put16(out, e.versionMadeBy);
    Put16(out, e.versionNeeded);
    Put16(out, FlagsOf(e));
    Put16(out, MethodOf(e));
    Put16(out, e.time);
    Put16(out, e.date);
    Put32(out, e.crc.value_or(TestCrc32(e.data)));
    Put32(out, compressed);
    Put32(out, uncompressed);
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, static_cast<uint32_t>(extra.size()));
    Put16(out, static_cast<uint32_t>(e.comment.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, e.externalAttributes);
    Put32(out, offset);
    out += e.name;
    out += extra;
    out += e.comment;
  }
  const uint64_t dirSize = out.size() - dirStart;
  if (omitEnd_) return out;
  const uint16_t count = entryCount_.value_or(static_cast<uint16_t>(entries_.size()));
  if (zip64End_) {
    const uint64_t zip64At = out.size();
    Put32(out, 0x06064B50);
    Put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, entries_.size());
    Put64(out, entries_.size());
    Put64(out, dirSize);
    Put64(out, dirStart - base);
    Put32(out, 0x07064B50);
    Put32(out, 0);
    Put64(out, zip64At - base);
    Put32(out, 1);
  }
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, zip64End_ ? 0xFFFF : count);
  Put16(out, zip64End_ ? 0xFFFF : count);
  Put32(out, zip64End_ ? 0xFFFFFFFF : static_cast<uint32_t>(dirSize));
  Put32(out, zip64End_ ? 0xFFFFFFFF : dirOffset_.value_or(static_cast<uint32_t>(dirStart - base)));
  Put16(out, static_cast<uint32_t>(comment_.size()));
  out += comment_;
  return out;
}

ScratchDir::ScratchDir() {
  std::random_device rd;
  std::filesystem::path p = std::filesystem::temp_directory_path() /
                            ("qp-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(p);
  path_ = p.string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
  std::filesystem::path p = std::filesystem::path(path_) / name;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return p.string();
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
