// Decoding ahead on worker threads against decoding on the caller's thread alone: the same
// archive, handlers and answers run once with QP_WORKERS=0 and once with workers, and the log
// of every event with its arguments (progress values exactly), the answers' effects, the
// tree left behind and what left ExtractFiles must be the same. Generated archives cover many
// small items, mixed sizes around the buffers' and the budget's limits, damaged items in the
// middle, encrypted items among plain ones, skips, Cancel, Abort, a full disk and an
// exception leaving a handler; the shared corpus is run the same way when it is there.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "archive/base/exception.h"
#include "archive/extract/decode_ahead.h"
#include "tests/extract/extract_fixture.h"

namespace extract_test {
namespace {

namespace fs = std::filesystem;

// Sets QP_WORKERS for the life of the object.
class WorkersSetting {
 public:
  explicit WorkersSetting(const char* value) { Set(value); }
  ~WorkersSetting() { Set(""); }

 private:
  static void Set(const char* value) {
#ifdef _WIN32
    _putenv_s("QP_WORKERS", value);
#else
    if (*value)
      setenv("QP_WORKERS", value, 1);
    else
      unsetenv("QP_WORKERS");
#endif
  }
};

std::string Exact(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", value);
  return text;
}

std::string N(const std::u16string& s) { return qp::platform::Utf16ToUtf8(s); }

// A message with the run's own destination folder taken out, so that two runs compare.
std::string WithoutFolder(std::string text, const std::string& folder) {
  for (size_t at; !folder.empty() && (at = text.find(folder)) != std::string::npos;)
    text.replace(at, folder.size(), "<dest>");
  return text;
}

// What a run did, as far as anyone outside the engine can tell.
struct Outcome {
  std::vector<std::string> log;
  std::map<std::string, std::string> tree;  // relative path: contents, or "<dir>"
  uint64_t replayed = 0;                     // items played back from a worker

  bool operator==(const Outcome& o) const { return log == o.log && tree == o.tree; }
};

// The handlers' behaviour for one scenario; the same for both runs.
struct Script {
  std::string refuse;                 // OnConfirmProcessFile says no to this name
  std::function<bool(const std::string&)> refuseIf;  // ... and to these
  std::string cancelAtStepOf;         // a ppProcess progress of this item cancels
  int cancelAtStep = 1;               // ... at its n-th step
  std::string throwAtStepOf;          // ... or throws
  std::vector<TQPAction> answers;     // for OnProcessFileFailure, then fxaIgnore
  std::vector<std::string> passwords; // for OnPassword, then skip
  bool overwrite = true;
  bool test = false;                  // TestFiles instead of ExtractFiles
  bool extractCorrupted = false;
  std::function<bool()> onDiskFull;   // on each disk-full question: whether to try again
  std::function<void(const std::u16string&)> prepare;  // fills the destination first
  // With workers, the first confirmation waits (up to 20 s) until they decoded this many
  // items, so that what is played back does not depend on how the threads were scheduled.
  uint64_t waitDecoded = 0;
};

class DecodeAhead : public ExtractTest {
 protected:
  Outcome RunOnce(const std::u16string& archive, const Script& s, const char* workers, const std::u16string& dest) {
    WorkersSetting setting(workers);
    TestArchiver a(nullptr);
    a.Name = u"Archiver";
    a.FileName = archive;
    a.BaseDir = dest;
    a.ExtractCorruptedFiles = s.extractCorrupted;
    a.Options().OverwriteMode = omPrompt;
    EXPECT_TRUE(qp::platform::ForceDirectories(dest));
    if (s.prepare) s.prepare(dest);
    Outcome out;
    auto& log = out.log;
    try {
      a.OpenArchive(kOpenModeReadOnlyDenyNone);
    } catch (const EQPException& e) {
      log.push_back("open failed " + std::to_string(e.NativeError));
      return out;
    }
    int steps = 0;
    std::vector<TQPAction> answers = s.answers;
    std::vector<std::string> passwords = s.passwords;
    a.OnOverallProgress = [&](TComponent*, double p, TQPProcessOperation op, TQPProgressPhase ph, bool& cancel) {
      log.push_back("overall " + Exact(p) + " " + std::to_string(op) + " " + std::to_string(ph) + " " +
                    std::to_string(cancel));
    };
    a.OnFileProgress = [&](TComponent*, const std::u16string& n, double p, TQPProcessOperation, TQPProgressPhase ph,
                           bool& cancel) {
      log.push_back("file " + N(n) + " " + Exact(p) + " " + std::to_string(ph));
      if (ph != ppProcess) return;
      if (N(n) == s.cancelAtStepOf && ++steps == s.cancelAtStep) cancel = true;
      if (N(n) == s.throwAtStepOf) throw std::runtime_error("handler failed");
    };
    const uint64_t decodedBefore = TQPDecodeAhead::ItemsDecoded();
    bool waited = std::string(workers) == "0";
    a.OnConfirmProcessFile = [&](TComponent*, const std::u16string& n, TQPProcessOperation, bool& confirm) {
      for (int i = 0; !waited && i < 2000 && TQPDecodeAhead::ItemsDecoded() - decodedBefore < s.waitDecoded; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      waited = true;
      log.push_back("confirm " + N(n));
      confirm = N(n) != s.refuse && !(s.refuseIf && s.refuseIf(N(n)));
    };
    a.OnExtractFile = [&](TComponent*, std::u16string& n, uint32_t& attr, const std::string&) {
      log.push_back("extract " + N(n) + " " + std::to_string(attr));
    };
    a.OnConfirmOverwrite = [&](TComponent*, const std::u16string& n, std::u16string& d, bool& confirm) {
      log.push_back("overwrite " + N(n) + " " + N(d.substr(dest.size())));
      confirm = s.overwrite;
    };
    a.OnPassword = [&](TComponent*, const std::u16string& n, std::string& password, bool& skip) {
      log.push_back("password " + N(n));
      skip = passwords.empty();
      if (!skip) {
        password = passwords.front();
        passwords.erase(passwords.begin());
      }
    };
    a.OnDiskFull = [&](TComponent*, int32_t volume, const std::u16string&, bool& cancel) {
      log.push_back("disk full " + std::to_string(volume));
      cancel = !s.onDiskFull || !s.onDiskFull();
    };
    a.OnProcessFileFailure = [&](TComponent*, const std::u16string& n, TQPProcessOperation, int32_t native,
                                 int32_t code, const std::u16string& message, TQPAction& action) {
      log.push_back("failure " + N(n) + " " + std::to_string(native) + " " + std::to_string(code) + " " +
                    WithoutFolder(N(message), N(dest)));
      action = answers.empty() ? fxaIgnore : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
    };
    const uint64_t before = TQPDecodeAhead::ItemsReplayed();
    try {
      if (s.test)
        a.TestFiles(u"*.*", 10431, u"");
      else
        a.ExtractFiles(u"*.*", 10431, u"");
      log.push_back("returned");
    } catch (const std::exception& e) {
      log.push_back(std::string("threw ") + e.what());
    }
    out.replayed = TQPDecodeAhead::ItemsReplayed() - before;
    a.CloseArchive();
    const fs::path root = Native(dest);
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      const std::string rel = fs::relative(e.path(), root).generic_string();
      if (e.is_directory()) {
        out.tree[rel] = "<dir>";
      } else {
        std::ifstream f(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << f.rdbuf();
        out.tree[rel] = bytes.str();
      }
    }
    return out;
  }

  // Both runs over the archive; returns the run with workers for further checks.
  Outcome Compare(const std::string& bytes, const Script& s, const char* workers = "3") {
    const std::u16string archive = root_ + U("a" + std::to_string(++serial_) + ".zip");
    std::ofstream(Native(archive), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return CompareFile(archive, s, workers);
  }
  Outcome CompareFile(const std::u16string& archive, const Script& s, const char* workers = "3") {
    const std::string tag = std::to_string(++serial_);
    const Outcome alone = RunOnce(archive, s, "0", root_ + U("alone" + tag + "\\"));
    const Outcome ahead = RunOnce(archive, s, workers, root_ + U("ahead" + tag + "\\"));
    EXPECT_EQ(alone.replayed, 0u);
    EXPECT_EQ(alone.log, ahead.log);
    EXPECT_TRUE(alone.tree == ahead.tree) << "the trees differ";
    return ahead;
  }

  int serial_ = 0;
};

// Expects a file to exist in the run's tree with these contents.
void ExpectFile(const Outcome& o, const std::string& name, const std::string& bytes) {
  const auto it = o.tree.find(name);
  ASSERT_NE(it, o.tree.end()) << name;
  EXPECT_TRUE(it->second == bytes) << name;
}

// The offset of an item's data in an archive the builder made: behind its local header.
size_t DataOffsetOf(const std::string& archive, const std::string& name) {
  const size_t at = archive.find(name);
  return at + name.size();
}

// Many items of small and middle sizes, both methods: all written, the larger ones played
// back from workers, the smaller ones decoded by the loop between them.
TEST_F(DecodeAhead, ManySmallItemsGiveTheSameEventsAndTree) {
  ZipBuilder b;
  std::vector<std::string> data;
  for (int i = 0; i < 300; ++i) {
    data.push_back(TextLike(static_cast<size_t>(i * 997 % 90000), i + 1));
    b.Add(Entry("d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt", data.back(), i % 3 != 0));
  }
  Script s;
  s.waitDecoded = 150;
  const Outcome o = Compare(b.Build(), s);
  EXPECT_GE(o.replayed, 150u);
  for (int i = 0; i < 300; i += 37) ExpectFile(o, "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt", data[i]);

  Script test;
  test.test = true;
  test.waitDecoded = 150;
  EXPECT_GE(Compare(b.Build(), test).replayed, 150u);

  // More items refused in a row than the workers decode ahead: they wait for the loop, which
  // then decodes the next item itself, and they go on behind it.
  ZipBuilder many;
  const size_t n = TQPDecodeAhead::kItemsAhead + 150;
  for (size_t i = 0; i < n; ++i)
    many.Add(Entry("r" + std::to_string(i), std::string(TQPDecodeAhead::kSmallestItem + i, 'a' + i % 26), true));
  Script refused;
  refused.refuseIf = [](const std::string& name) {
    return std::stoul(name.substr(1)) < TQPDecodeAhead::kItemsAhead + 30;
  };
  const Outcome r = Compare(many.Build(), refused);
  EXPECT_EQ(r.tree.count("r7"), 0u);
  EXPECT_EQ(r.tree.size(), 120u);
  EXPECT_GT(r.replayed, 0u);
}

// Items below the smallest size worth handing over are left to the loop.
TEST_F(DecodeAhead, SmallItemsStayWithTheLoop) {
  ZipBuilder b;
  for (int i = 0; i < 50; ++i)
    b.Add(Entry("s" + std::to_string(i), TextLike(TQPDecodeAhead::kSmallestItem - 1 - i, i), true));
  // The first item decoded ahead is the loop's own; the second is a worker's.
  b.Add(Entry("large", TextLike(TQPDecodeAhead::kSmallestItem, 9), true));
  b.Add(Entry("larger", TextLike(TQPDecodeAhead::kSmallestItem + 1, 10), true));
  Script s;
  s.waitDecoded = 1;
  EXPECT_EQ(Compare(b.Build(), s).replayed, 1u);
}

// Sizes on both sides of the input block, the output chunk, the inflate-ahead threshold and
// a worker's share of the budget (with 7 workers an eighth of it); an empty and a folder.
TEST_F(DecodeAhead, MixedSizesAroundTheBufferAndBudgetLimits) {
  const size_t share = TQPDecodeAhead::kBudget / 8;
  const std::vector<size_t> sizes = {0, 1, 0xFFFF, 0x10000, 0x100000 - 1, 0x100001, 0x200001, 3 << 20, share + 1, 5};
  ZipBuilder b;
  b.Add(Entry("folder/", ""));
  for (size_t i = 0; i < sizes.size(); ++i)
    b.Add(Entry("m" + std::to_string(i), TextLike(sizes[i], static_cast<uint32_t>(i) + 40), i % 4 != 1));
  // Stored data larger than the input block.
  b.Add(Entry("stored", TextLike(0x180000, 99), false));
  Script s;
  // Not the smallest, the one above its share, the folder, nor the first (the loop's own).
  s.waitDecoded = 6;
  const Outcome o = Compare(b.Build(), s, "7");
  EXPECT_EQ(o.replayed, 6u);
  ExpectFile(o, "m8", TextLike(sizes[8], 48));
  ExpectFile(o, "m6", TextLike(sizes[6], 46));
}

// Damaged items in the middle: a wrong CRC, a wrong size, inflate data made invalid, data cut
// off by the directory; with retry, ignore and keeping corrupted data.
TEST_F(DecodeAhead, DamagedItemsInTheMiddleFailWhenTheLoopReachesThem) {
  ZipEntry badCrc = Entry("crc.txt", TextLike(300000, 3), true);
  badCrc.crc = 0x1234;
  ZipEntry badSize = Entry("size.txt", TextLike(200000, 4), true);
  badSize.storedUncompressedSize = 150000;
  ZipEntry longer = Entry("longer.txt", TextLike(5000, 7), false);
  longer.storedUncompressedSize = 9000;
  ZipBuilder b;
  for (int i = 0; i < 20; ++i) b.Add(Entry("a" + std::to_string(i), TextLike(40000, i), true));
  b.Add(badCrc).Add(Entry("between", "x")).Add(badSize).Add(longer);
  b.Add(Entry("inflate.txt", TextLike(400000, 5), true));
  for (int i = 0; i < 20; ++i) b.Add(Entry("z" + std::to_string(i), TextLike(40000, i + 100), i % 2 == 0));
  std::string bytes = b.Build();
  const size_t broken = DataOffsetOf(bytes, "inflate.txt");
  for (size_t k = 200; k < 260; ++k) bytes[broken + k] = static_cast<char>(0xFF);

  Script s;
  s.answers = {fxaRetry, fxaIgnore, fxaRetry, fxaRetry, fxaIgnore};
  s.waitDecoded = 42;  // all but the two small ones and the first
  const Outcome o = Compare(bytes, s);
  EXPECT_EQ(o.replayed, 42u);
  EXPECT_EQ(o.tree.count("crc.txt"), 0u);
  ExpectFile(o, "z19", TextLike(40000, 119));

  Script keep;
  keep.extractCorrupted = true;
  Compare(bytes, keep);
  Script test;
  test.test = true;
  Compare(bytes, test);
}

// An archive cut off inside the last item's data: the directory is rebuilt from the local
// headers, and the short item fails as it does without workers.
TEST_F(DecodeAhead, CutOffArchive) {
  ZipBuilder b;
  for (int i = 0; i < 12; ++i) b.Add(Entry("c" + std::to_string(i), TextLike(60000, i + 9), true));
  const std::string whole = b.Build();
  const size_t cut = DataOffsetOf(whole, "c11") + 1000;
  Compare(whole.substr(0, cut), Script{});
}

// Encrypted items among plain ones stay with the caller's password loop.
TEST_F(DecodeAhead, EncryptedItemsAmongPlainOnes) {
  ZipBuilder b;
  for (int i = 0; i < 10; ++i) {
    ZipEntry e = Entry("p" + std::to_string(i), TextLike(50000, i + 20), true);
    if (i % 3 == 1) e.password = "secret";
    if (i == 7) e.aesStrength = 3;
    b.Add(e);
  }
  Script s;
  s.passwords = {"wrong", "secret"};
  s.waitDecoded = 6;
  const Outcome o = Compare(b.Build(), s);
  EXPECT_EQ(o.replayed, 6u);
  ExpectFile(o, "p4", TextLike(50000, 24));
  Script none;  // every password question skipped
  Compare(b.Build(), none);
}

// A skip by OnConfirmProcessFile, a refused overwrite, Cancel from a progress step and Abort
// from the failure question, each in the middle of items decoded ahead.
TEST_F(DecodeAhead, SkipOverwriteCancelAndAbort) {
  ZipEntry bad = Entry("bad", TextLike(70000, 1), true);
  bad.crc = 1;
  ZipBuilder b;
  for (int i = 0; i < 30; ++i) b.Add(Entry("s" + std::to_string(i), TextLike(25000 + i * 1000, i + 60), i % 5 != 0));
  b.Add(bad);
  for (int i = 0; i < 10; ++i) b.Add(Entry("t" + std::to_string(i), TextLike(90000, i), true));
  b.Add(Entry("big", TextLike(3 << 20, 77), true));
  const std::string bytes = b.Build();

  Script skip;
  skip.refuse = "s7";
  skip.overwrite = false;
  skip.prepare = [](const std::u16string& dest) {
    std::ofstream(Native(dest + u"s9"), std::ios::binary) << "old";
    std::ofstream(Native(dest + u"t2"), std::ios::binary) << "older";
  };
  const Outcome skipped = Compare(bytes, skip);
  EXPECT_EQ(skipped.tree.count("s7"), 0u);
  ExpectFile(skipped, "s9", "old");

  Script cancel;
  cancel.cancelAtStepOf = "s12";
  const Outcome cancelled = Compare(bytes, cancel);
  EXPECT_EQ(cancelled.tree.count("s12"), 0u);
  EXPECT_EQ(cancelled.tree.count("s13"), 0u);
  Script cancelLate;  // inside the streamed item, with everything before it decoded ahead
  cancelLate.cancelAtStepOf = "big";
  cancelLate.cancelAtStep = 2;
  Compare(bytes, cancelLate);

  Script abort;
  abort.answers = {fxaAbort};
  const Outcome aborted = Compare(bytes, abort);
  EXPECT_EQ(aborted.tree.count("t0"), 0u);
  ExpectFile(aborted, "s29", TextLike(54000, 89));
}

// An exception leaving a progress handler leaves ExtractFiles as it would without workers,
// and no worker stays behind.
#ifdef __linux__
size_t ThreadsOfThisProcess() {
  size_t threads = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/task")) threads += e.is_directory() ? 1 : 0;
  return threads;
}
#endif

TEST_F(DecodeAhead, ExceptionFromAHandler) {
  ZipBuilder b;
  for (int i = 0; i < 40; ++i) b.Add(Entry("e" + std::to_string(i), TextLike(40000, i + 5), true));
  Script s;
  s.throwAtStepOf = "e3";
#ifdef __linux__
  // A sanitizer starts a thread of its own once the process has more than one: a run first.
  Compare(b.Build(), Script{});
  const size_t before = ThreadsOfThisProcess();
#endif
  const Outcome o = Compare(b.Build(), s);
  ASSERT_FALSE(o.log.empty());
  EXPECT_EQ(o.log.back(), "threw handler failed");
#ifdef __linux__
  // The workers and the inflate-ahead thread are joined.
  EXPECT_EQ(ThreadsOfThisProcess(), before);
#endif
}

#ifndef _WIN32
// A full disk (writes past a file-size limit) asked about during a played-back item: the same
// questions, the same retry after room was made, the same stop.
TEST_F(DecodeAhead, FullDiskQuestion) {
  ZipBuilder b;
  for (int i = 0; i < 8; ++i) b.Add(Entry("f" + std::to_string(i), TextLike(300000 + i * 200000, i + 1), true));
  const std::u16string archive = root_ + u"full.zip";
  const std::string bytes = b.Build();
  std::ofstream(Native(archive), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  // Each run in a child of its own, whose limit the handler raises once.
  auto inChild = [&](const char* workers, const std::u16string& dest) {
    const std::u16string logFile = dest.substr(0, dest.size() - 1) + u".log";
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{1 << 20, RLIM_INFINITY};
      setrlimit(RLIMIT_FSIZE, &limit);
      int asked = 0;
      Script s;
      s.waitDecoded = 4;
      s.onDiskFull = [&asked] {
        if (++asked > 1) return false;
        rlimit more{1200000, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &more);
        return true;
      };
      Outcome o = RunOnce(archive, s, workers, dest);
      std::ofstream out(Native(logFile), std::ios::binary);
      for (const auto& line : o.log) out << line << '\n';
      for (const auto& [name, data] : o.tree) out << name << ' ' << data.size() << ' ' << TestCrc32(data) << '\n';
      out << "replayed " << (o.replayed > 0) << '\n';
      out.close();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(Native(logFile), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string alone = inChild("0", root_ + u"alone\\");
  const std::string ahead = inChild("2", root_ + u"ahead\\");
  EXPECT_NE(alone.find("disk full"), std::string::npos);
  EXPECT_NE(alone.find("replayed 0"), std::string::npos);
  EXPECT_NE(ahead.find("replayed 1"), std::string::npos);
  EXPECT_EQ(alone.substr(0, alone.rfind("replayed")), ahead.substr(0, ahead.rfind("replayed")));
}
#endif

// The shared corpus of real-world and hostile archives, extracted and tested both ways.
TEST_F(DecodeAhead, SharedCorpus) {
  const fs::path corpus = fs::path(QP_SOURCE_DIR) / ".." / "shared" / "corpus";
  std::error_code error;
  if (!fs::is_directory(corpus, error)) GTEST_SKIP() << "no shared corpus at " << corpus;
  std::vector<fs::path> archives;
  for (const auto& e : fs::recursive_directory_iterator(corpus, error))
    if (e.is_regular_file() && e.path().extension() == ".zip") archives.push_back(e.path());
  std::sort(archives.begin(), archives.end());
  ASSERT_FALSE(archives.empty());
  uint64_t replayed = 0;
  for (const auto& path : archives) {
    SCOPED_TRACE(path.string());
    std::u16string name = qp::platform::Utf8ToUtf16(fs::absolute(path).lexically_normal().string());
#ifndef _WIN32
    std::replace(name.begin(), name.end(), u'/', u'\\');
#endif
    replayed += CompareFile(name, Script{}).replayed;
    Script test;
    test.test = true;
    CompareFile(name, test);
  }
  // Most items of the corpus are below the smallest size decoded ahead; the count is for
  // the record only, since it depends on how the threads were scheduled.
  std::printf("corpus: %llu items played back from workers\n", static_cast<unsigned long long>(replayed));
}

}  // namespace
}  // namespace extract_test
