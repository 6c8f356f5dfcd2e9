// Decoding item data: stored pieces, deflate across blocks (with and without inflating
// ahead), the size, CRC and method checks, the central-directory clamp, encrypted items,
// and a destination that runs out of space.
#include <gtest/gtest.h>

#include <zlib.h>

#include "archive/base/exception.h"
#include "tests/extract/extract_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace extract_test {
namespace {

// A memory stream that remembers the size of every write.
class RecordingStream : public TQPMemoryStream {
 public:
  size_t Write(const void* buffer, size_t count) override {
    writes.push_back(count);
    return TQPMemoryStream::Write(buffer, count);
  }
  std::string Text() const { return std::string(Data().begin(), Data().end()); }
  std::vector<size_t> writes;
};

// The write sizes the decoder is meant to produce for raw deflate data: each input block of
// 1 MiB (the first behind a two-byte zlib header) is inflated in outputs of at most 1 MiB
// until its input is used up, whichever thread makes the calls.
std::vector<size_t> ExpectedWrites(const std::string& raw) {
  constexpr size_t kBlock = 0x100000;
  std::vector<size_t> writes;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return writes;
  std::vector<uint8_t> out(kBlock);
  for (size_t at = 0; at < raw.size(); at += kBlock) {
    std::string block = raw.substr(at, kBlock);
    if (at == 0) block.insert(0, "\x78\x01", 2);
    z.next_in = reinterpret_cast<Bytef*>(block.data());
    z.avail_in = static_cast<uInt>(block.size());
    for (;;) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const int result = inflate(&z, Z_NO_FLUSH);
      const size_t size = out.size() - z.avail_out;
      if (result >= 0 && size > 0) writes.push_back(size);
      if (result < 0 || result == Z_STREAM_END || (z.avail_out != 0 && z.avail_in == 0)) break;
    }
  }
  inflateEnd(&z);
  return writes;
}

int NativeErrorOf(TQuillpack& arc, int32_t index, RecordingStream& out) {
  try {
    arc.ExtractItemToStream(index, out);
  } catch (const EQPException& e) {
    return e.NativeError;
  }
  return 0;
}

TEST_F(ExtractTest, StoredItemsAreCopiedInPiecesOf65535) {
  const std::string big = TextLike(200000, 2), mid = TextLike(70000, 3);
  Open(ZipBuilder().Add(Entry("empty", "")).Add(Entry("big", big)).Add(Entry("mid", mid)));
  RecordingStream empty, b, m;
  EXPECT_EQ(NativeErrorOf(arc_, 0, empty), 0);
  EXPECT_TRUE(empty.writes.empty());
  EXPECT_EQ(NativeErrorOf(arc_, 1, b), 0);
  EXPECT_EQ(b.writes, (std::vector<size_t>{65535, 65535, 65535, 3395}));
  EXPECT_EQ(b.Text(), big);
  EXPECT_EQ(NativeErrorOf(arc_, 2, m), 0);
  EXPECT_EQ(m.writes, (std::vector<size_t>{65535, 4465}));
  EXPECT_EQ(m.Text(), mid);
  RecordingStream none;
  EXPECT_EQ(NativeErrorOf(arc_, 3, none), 16);
  EXPECT_EQ(NativeErrorOf(arc_, -1, none), 16);
}

TEST_F(ExtractTest, DeflatedItemsAcrossBlocks) {
  // 1.5 MiB decodes inline; 12 MiB of less compressible data spans several input blocks
  // and is inflated ahead on the second thread. Both must give the same bytes.
  std::string noisy;
  noisy.reserve(12 << 20);
  uint32_t x = 9;
  while (noisy.size() < (12u << 20)) {
    x = x * 1664525u + 1013904223u;
    noisy += static_cast<char>('a' + (x >> 27));
  }
  const std::string text = TextLike(1536 * 1024, 4);
  const std::string deflated = RawDeflate(noisy);
  ASSERT_GT(deflated.size(), 2u << 20);
  Open(ZipBuilder().Add(Entry("text", text, true)).Add(Entry("noisy", noisy, true)));
  RecordingStream a, b;
  EXPECT_EQ(NativeErrorOf(arc_, 0, a), 0);
  EXPECT_EQ(a.Text(), text);
  EXPECT_EQ(NativeErrorOf(arc_, 1, b), 0);
  EXPECT_TRUE(b.Text() == noisy);
  // Reading the next block ahead must not change how the output is cut into writes.
  EXPECT_EQ(b.writes, ExpectedWrites(deflated));
  EXPECT_GT(b.writes.size(), 8u);
}

TEST_F(ExtractTest, ChecksSizeCrcAndMethod) {
  ZipEntry crc = Entry("crc", "some data", true);
  crc.crc = 0xDEADBEEF;
  ZipEntry m9 = Entry("m9", "x");
  m9.method = 9;
  ZipEntry m12 = Entry("m12", "x");
  m12.method = 12;
  ZipEntry shortSize = Entry("short", "abcdef");
  shortSize.storedUncompressedSize = 7;  // the data ends first
  ZipEntry encrypted = Entry("enc", "ciphertext?");
  encrypted.flags = 1;
  ZipEntry intoDirectory = Entry("clamp", "0123456789");
  intoDirectory.storedCompressedSize = 1000;  // runs into the central directory
  intoDirectory.storedUncompressedSize = 1000;
  Open(ZipBuilder().Add(crc).Add(m9).Add(m12).Add(shortSize).Add(encrypted).Add(intoDirectory));
  RecordingStream out[6];
  EXPECT_EQ(NativeErrorOf(arc_, 0, out[0]), 8);
  EXPECT_EQ(out[0].Text(), "some data");  // fully written before the check fails
  EXPECT_EQ(NativeErrorOf(arc_, 1, out[1]), 55);
  EXPECT_EQ(NativeErrorOf(arc_, 2, out[2]), 8);
  EXPECT_EQ(NativeErrorOf(arc_, 3, out[3]), 8);
  EXPECT_EQ(NativeErrorOf(arc_, 4, out[4]), 8);
  EXPECT_TRUE(out[4].Data().empty());
  EXPECT_EQ(NativeErrorOf(arc_, 5, out[5]), 8);
  EXPECT_EQ(out[5].Text(), "0123456789");  // cut where the central directory starts

  arc_.ExtractCorruptedFiles = true;
  RecordingStream kept;
  EXPECT_EQ(NativeErrorOf(arc_, 0, kept), 0);
  EXPECT_EQ(kept.Text(), "some data");
}

TEST_F(ExtractTest, BytesAfterTheDeflateEndAreNoTrailerCheck) {
  // Compressed data that runs four bytes past the end of the deflate stream: the bytes stand
  // where a zlib trailer would, but item data has none, so only the size and the CRC decide.
  const std::string text = TextLike(300000, 5);
  ZipEntry entry = Entry("tail", RawDeflate(text) + std::string("\x12\x34\x56\x78", 4));
  entry.method = 8;
  entry.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  entry.storedUncompressedSize = static_cast<uint32_t>(text.size());
  Open(ZipBuilder().Add(entry));
  RecordingStream out;
  EXPECT_EQ(NativeErrorOf(arc_, 0, out), 0);
  EXPECT_TRUE(out.Text() == text);
}

TEST_F(ExtractTest, OutputBeyondStoredSizeStopsAtOnce) {
  // A bomb: the header claims 1,000 bytes for data that inflates to 64 MiB.
  ZipEntry bomb = Entry("bomb", std::string(64 << 20, 'z'), true);
  bomb.storedUncompressedSize = 1000;
  ZipEntry stored = Entry("liar", std::string(5000, 's'));
  stored.storedUncompressedSize = 10;
  Open(ZipBuilder().Add(bomb).Add(stored));
  RecordingStream a, b;
  EXPECT_EQ(NativeErrorOf(arc_, 0, a), 8);
  EXPECT_EQ(a.Data().size(), 1000u);
  EXPECT_EQ(NativeErrorOf(arc_, 1, b), 8);
  EXPECT_EQ(b.Data().size(), 10u);

  // Through the file path too: the partial file does not survive.
  ExtractAll();
  EXPECT_FALSE(Exists("bomb"));
  EXPECT_FALSE(Exists("liar"));
}

#ifndef _WIN32
TEST_F(ExtractTest, FullDiskFailsTheItemWithError65) {
  Open(ZipBuilder().Add(Entry("large.bin", TextLike(4 << 20, 5), true)).Add(Entry("small.txt", "fits")));
  fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Writes beyond 1 MiB fail as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    int failures = 0, native = 0;
    arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t n, int32_t,
                                    const std::u16string&, TQPAction& action) {
      ++failures;
      native = n;
      action = fxaIgnore;
    };
    ExtractAll();
    const bool ok = failures == 1 && native == 65 && !Exists("large.bin") && Read("small.txt") == "fits";
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ExtractTest, DiskFullHandlerCanRetryOrCancel) {
  Open(ZipBuilder().Add(Entry("large.bin", TextLike(3 << 20, 6), true)));
  fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1 << 20, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limit);
    int asked = 0;
    arc_.OnDiskFull = [&](TComponent*, int32_t, const std::u16string&, bool& cancel) {
      // The first time "space is freed" and the write is retried; the second time the user stops.
      if (++asked == 1) {
        rlimit more{2 << 20, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &more);
      }
      cancel = asked > 1;
    };
    int failures = 0;
    arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                    const std::u16string&, TQPAction&) { ++failures; };
    ExtractAll();
    _exit(asked == 2 && failures == 0 && !Exists("large.bin") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
}  // namespace extract_test
