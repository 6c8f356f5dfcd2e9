// Failures keep their kind: a read error of the archive is not a damaged archive, and a
// destination that refuses data for another reason than a full disk fails the item with its
// cause instead of asking for disk space.
#include <cerrno>
#include <memory>

#include "archive/base/exception.h"
#include "archive/io/file_stream.h"
#include "tests/extract/extract_fixture.h"

using namespace extract_test;

namespace {

#ifdef _WIN32
constexpr int kReadFault = 30;  // ERROR_READ_FAULT
#else
constexpr int kReadFault = EIO;
#endif

// The archive as it was, until `budget` bytes have been read; then every read fails.
class FailingAfter : public TQPStream {
 public:
  FailingAfter(std::unique_ptr<TQPStream> inner, int64_t budget) : inner_(std::move(inner)), budget_(budget) {}
  size_t Read(void* buffer, size_t count) override {
    if (budget_ <= 0) throw EStreamIOError(true, kReadFault);
    const size_t n = inner_->Read(buffer, std::min<size_t>(count, static_cast<size_t>(budget_)));
    budget_ -= static_cast<int64_t>(n);
    return n;
  }
  size_t Write(const void* buffer, size_t count) override { return inner_->Write(buffer, count); }
  int64_t Seek(int64_t offset, qp::platform::SeekOrigin origin) override { return inner_->Seek(offset, origin); }
  int64_t Size() override { return inner_->Size(); }

 private:
  std::unique_ptr<TQPStream> inner_;
  int64_t budget_;
};

bool Contains(const std::u16string& text, const std::u16string& part) { return text.find(part) != std::u16string::npos; }

}  // namespace

TEST_F(ExtractTest, ReadErrorInTheMiddleOfAnItemFailsItWithTheCause) {
  // Three blocks of stored data; the archive stops being readable in the second.
  Open(ZipBuilder().Add(Entry("big.bin", TextLike(3 << 20, 7))).Add(Entry("after.txt", "later")));
  arc_.ExtractCorruptedFiles = true;  // a read error is no damaged data: this must not keep it
  arc_.ArchiveStreamSlot() = std::make_unique<FailingAfter>(std::move(arc_.ArchiveStreamSlot()), 3 << 19);
  int failures = 0, native = 0;
  std::u16string message;
  arc_.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t n, int32_t,
                                  const std::u16string& m, TQPAction& action) {
    ++failures;
    native = n;
    message = m;
    action = fxaAbort;
  };
  ExtractAll();
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(native, neCannotOpenFile);
  EXPECT_TRUE(Contains(message, qp::platform::SystemErrorText(kReadFault))) << qp::platform::Utf16ToUtf8(message);
  EXPECT_TRUE(Contains(message, arc_.FileName));
  EXPECT_FALSE(Exists("big.bin"));
}

TEST_F(ExtractTest, FileStreamReportsSystemFailuresAsSuch) {
  Put("data.bin", "some bytes");
  const std::u16string path = dest_ + u"data.bin";
  auto reader = TQPFileStream::Open(path, qp::platform::fmOpenRead);
  ASSERT_TRUE(reader);
  reader->Handle().Close();
  uint8_t byte = 0;
  try {
    reader->Read(&byte, 1);
    FAIL() << "a read from a closed file must not look like the end of the data";
  } catch (const EStreamIOError& e) {
    EXPECT_TRUE(e.IsRead);
    EXPECT_NE(e.SystemError, 0);
  }
  auto writer = TQPFileStream::Create(dest_ + u"new.bin");
  ASSERT_TRUE(writer);
  writer->Handle().Close();
  try {
    writer->Write(&byte, 1);
    FAIL() << "a refused write must not look like a full disk";
  } catch (const EStreamIOError& e) {
    EXPECT_FALSE(e.IsRead);
    EXPECT_FALSE(qp::platform::IsDiskFullError(e.SystemError));
  }
}

TEST_F(ExtractTest, WriteErrorThatIsNoFullDiskFailsTheItemWithoutAskingForSpace) {
  Open(ZipBuilder().Add(Entry("a.txt", TextLike(200000, 3), true)));
  int asked = 0;
  // A handler that always answers "retry" would loop for ever on a refusal that no freed
  // space can cure.
  arc_.OnDiskFull = [&](TComponent*, int32_t, const std::u16string&, bool& cancel) {
    ++asked;
    cancel = false;
  };
  ASSERT_TRUE(qp::platform::ForceDirectories(dest_));
  auto file = TQPFileStream::Create(dest_ + u"a.txt");
  ASSERT_TRUE(file);
  file->Handle().Close();
  try {
    arc_.ExtractItemToStream(0, *file);
    FAIL() << "the item must fail";
  } catch (const EQPException& e) {
    EXPECT_EQ(e.NativeError, neWriteError);
    EXPECT_NE(e.SystemError, 0);
    EXPECT_TRUE(Contains(e.Message(), qp::platform::SystemErrorText(e.SystemError)));
  }
  EXPECT_EQ(asked, 0);
}
