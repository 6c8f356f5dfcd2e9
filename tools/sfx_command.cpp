// `quillpack sfx STUB ARCHIVE OUTPUT`: a self-extractor is the stub with the archive appended,
// nothing more. The command writes that concatenation and then opens OUTPUT with the engine,
// as the stub will, to prove that the archive is found behind the stub with all its items.
// When it is not, OUTPUT is removed and the exit status is 1.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/terminal_questions.h"

namespace pf = qp::platform;

namespace {

constexpr size_t kCopyChunk = size_t{1} << 20;

// Appends the whole of `path` to `out`; false with a message on stderr on failure.
bool AppendFile(pf::File& out, const std::u16string& path, const std::string& shown) {
  pf::File in;
  if (!in.Open(path, pf::fmOpenRead | pf::fmShareDenyWrite)) {
    std::fprintf(stderr, "quillpack sfx: cannot open %s (error %d)\n", shown.c_str(), in.LastError());
    return false;
  }
  std::vector<char> buffer(kCopyChunk);
  for (;;) {
    const int64_t got = in.Read(buffer.data(), buffer.size());
    if (got < 0) {
      std::fprintf(stderr, "quillpack sfx: cannot read %s (error %d)\n", shown.c_str(), in.LastError());
      return false;
    }
    if (got == 0) return true;
    if (out.Write(buffer.data(), static_cast<size_t>(got)) != got) {
      std::fprintf(stderr, "quillpack sfx: cannot write the output (error %d)\n", out.LastError());
      return false;
    }
  }
}

// The stored names of every item, as the engine reads them from `path`.
std::vector<std::u16string> ItemNames(const std::u16string& path) {
  TQuillpack archiver(nullptr);
  archiver.FileName = path;
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  std::vector<std::u16string> names;
  TQPDirManager& manager = *archiver.DirManager();
  for (int32_t i = 0; i < manager.Directory.Count(); ++i) names.push_back(manager.Directory.ItemRef(i).ItemName);
  archiver.CloseArchive();
  return names;
}

bool Fail(const std::u16string& output, const std::string& message) {
  pf::DeleteFile(output);
  std::fprintf(stderr, "quillpack sfx: %s\n", message.c_str());
  return false;
}

bool MakeSelfExtractor(const std::string& stubArg, const std::string& archiveArg, const std::string& outputArg) {
  const std::u16string stub = pf::Utf8ToUtf16(stubArg);
  const std::u16string archive = pf::Utf8ToUtf16(archiveArg);
  const std::u16string output = pf::Utf8ToUtf16(outputArg);
  if (output == stub || output == archive) {
    std::fputs("quillpack sfx: OUTPUT must be a file of its own\n", stderr);
    return false;
  }
  // The archive must read on its own first: then a failure below is the stub's doing.
  std::vector<std::u16string> expected;
  try {
    expected = ItemNames(archive);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillpack sfx: %s: %s\n", archiveArg.c_str(), e.what());
    return false;
  }
  {
    pf::File out;
    if (!out.Create(output)) {
      std::fprintf(stderr, "quillpack sfx: cannot create %s (error %d)\n", outputArg.c_str(), out.LastError());
      return false;
    }
    const bool written = AppendFile(out, stub, stubArg) && AppendFile(out, archive, archiveArg) && out.Flush();
    out.Close();
    if (!written) return Fail(output, "nothing written");
  }
  try {
    if (ItemNames(output) != expected)
      return Fail(output, outputArg + " does not show the archive's items behind the stub; removed");
  } catch (const std::exception& e) {
    return Fail(output, outputArg + " does not read: " + e.what() + "; removed");
  }
  std::printf("%s: %zu items behind the stub\n", outputArg.c_str(), expected.size());
  return true;
}

}  // namespace

int RunSfx(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    std::fputs("usage: quillpack sfx STUB ARCHIVE OUTPUT\n", stderr);
    return 2;
  }
  InstallTerminalQuestions();
  return MakeSelfExtractor(args[0], args[1], args[2]) ? 0 : 1;
}
