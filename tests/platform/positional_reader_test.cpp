// PositionalReader: reads at offsets that leave the position of the File it came from alone,
// short at the end of the file, from several threads at once; on Windows a file opened
// without sharing gives none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/threads.h"
#include "tests/platform/scratch.h"

namespace qp::platform::testing {
namespace {

using PositionalReaderTest = ScratchTest;

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
  return s;
}

TEST_F(PositionalReaderTest, ReadsAtOffsetsWithoutMovingTheFile) {
  const std::string data = Pattern(200000);
  WriteFile(u"data.bin", data);
  File file;
  ASSERT_TRUE(file.Open(Path(u"data.bin"), fmOpenRead | fmShareDenyWrite));
  char head[10];
  ASSERT_EQ(file.Read(head, sizeof head), 10);

  PositionalReader reader;
  ASSERT_TRUE(reader.Open(file, Path(u"data.bin")));
  int error = 0;
  std::string got(5000, '\0');
  ASSERT_EQ(reader.ReadAt(123456, got.data(), got.size(), error), 5000);
  EXPECT_EQ(got, data.substr(123456, 5000));
  // Across the end: what there is; at and past the end: nothing, and no error.
  EXPECT_EQ(reader.ReadAt(data.size() - 100, got.data(), got.size(), error), 100);
  EXPECT_EQ(got.substr(0, 100), data.substr(data.size() - 100));
  EXPECT_EQ(reader.ReadAt(data.size(), got.data(), got.size(), error), 0);
  EXPECT_EQ(reader.ReadAt(uint64_t{1} << 62, got.data(), got.size(), error), 0);

  // The file goes on from where it was.
  EXPECT_EQ(file.Seek(0, SeekOrigin::Current), 10);
  char next[4];
  ASSERT_EQ(file.Read(next, sizeof next), 4);
  EXPECT_EQ(std::string(next, 4), data.substr(10, 4));

  reader.Close();
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.ReadAt(0, got.data(), 1, error), -1);
  EXPECT_NE(error, 0);
}

TEST_F(PositionalReaderTest, ThreadsReadTheirOwnRanges) {
  const std::string data = Pattern(1 << 20);
  WriteFile(u"data.bin", data);
  File file;
  ASSERT_TRUE(file.Open(Path(u"data.bin"), fmOpenRead | fmShareDenyNone));
  PositionalReader reader;
  ASSERT_TRUE(reader.Open(file, Path(u"data.bin")));
  struct Job {
    const PositionalReader* reader;
    const std::string* data;
    uint64_t start;
    bool same = true;
  };
  Job jobs[4];
  Thread threads[4];
  for (int i = 0; i < 4; ++i) {
    jobs[i] = {&reader, &data, static_cast<uint64_t>(i) * 1000};
    ASSERT_TRUE(threads[i].Start(
        [](void* context) {
          auto& job = *static_cast<Job*>(context);
          std::vector<char> block(4096);
          int error = 0;
          for (uint64_t at = job.start; at + block.size() <= job.data->size(); at += 65536) {
            const bool read = job.reader->ReadAt(at, block.data(), block.size(), error) == 4096;
            job.same = job.same && read && std::string(block.data(), block.size()) == job.data->substr(at, 4096);
          }
        },
        &jobs[i]));
  }
  for (auto& t : threads) t.Join();
  for (const auto& job : jobs) EXPECT_TRUE(job.same) << job.start;
}

#ifdef _WIN32
TEST_F(PositionalReaderTest, NoneForAFileOpenedWithoutSharing) {
  WriteFile(u"data.bin", "abc");
  File file;
  ASSERT_TRUE(file.Open(Path(u"data.bin"), fmOpenReadWrite | fmShareExclusive));
  PositionalReader reader;
  EXPECT_FALSE(reader.Open(file, Path(u"data.bin")));
}
#endif

TEST_F(PositionalReaderTest, NoneForAClosedFile) {
  File file;
  PositionalReader reader;
  EXPECT_FALSE(reader.Open(file, Path(u"missing.bin")));
  EXPECT_FALSE(reader.IsOpen());
}

}  // namespace
}  // namespace qp::platform::testing
