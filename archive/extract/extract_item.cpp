// Extracting one item to disk: the destination path, folders, the overwrite rules, writing
// (through a temporary file when a file is being replaced), time and attributes, and the
// removal of whatever a failed, skipped or cancelled item left behind.
#include <algorithm>
#include <exception>
#include <memory>

#include "archive/component/archiver.h"
#include "archive/component/exception.h"
#include "archive/component/path_utils.h"
#include "archive/extract/extract_run.h"
#include "archive/io/file_stream.h"
#include "archive/extract/safe_path.h"
#include "platform/platform.h"

namespace pf = qp::platform;

namespace {

// The flush rule's question, answered once per drive and run: by letter, or the current
// drive's for a relative path; network shares are asked every time.
bool OnRemovableDrive(TQPExtractRun& run, const std::u16string& path) {
  size_t slot = 26;
  if (path.size() >= 2 && path[1] == u':') {
    const char16_t letter = path[0] | 0x20;
    if (letter < u'a' || letter > u'z') return QPIsOnRemovableDrive(path);
    slot = letter - u'a';
  } else if (path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/')) {
    return QPIsOnRemovableDrive(path);
  }
  uint8_t& known = run.DriveRemovable[slot];
  if (known == 0) known = QPIsOnRemovableDrive(path) ? 1 : 2;
  return known == 1;
}

// The part of `path` through its last '\' (empty when it has none).
std::u16string FolderOf(const std::u16string& path) {
  const size_t sep = path.rfind(u'\\');
  return sep == std::u16string::npos ? std::u16string() : path.substr(0, sep + 1);
}

// A name in the destination's folder that no file has yet, for the new data of a file that
// is being replaced.
std::u16string TemporaryNameBeside(const std::u16string& dest) {
  const std::u16string folder = FolderOf(dest);
  static uint32_t sequence = 0;
  for (;;) {
    // "~qp%08x.tmp", spelt out: the printf family would add its whole formatter to the
    // self-extractor for these eight digits.
    const auto tag = static_cast<uint32_t>(pf::HighResCounter() ^ (++sequence * 0x9E3779B9u));
    std::u16string candidate = folder + u"~qp";
    for (int shift = 28; shift >= 0; shift -= 4) candidate += u"0123456789abcdef"[(tag >> shift) & 15];
    candidate += u".tmp";
    if (pf::GetFileAttributes(candidate) == pf::kInvalidAttributes) return candidate;
  }
}

// The stream `make` returns, or null when it fails or throws: the caller reports the item's
// name either way.
template <class Make>
std::unique_ptr<TQPFileStream> CreateOrNull(Make make) {
  try {
    return make();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

bool TQPBaseArchiver::EnsureDirectory(TQPExtractRun& run, const std::u16string& folder, size_t trusted) {
  // Asking the file system again for a folder already made would cost a walk over every
  // component of the path for each file.
  if (!run.LastEnsuredDir.empty() && folder == run.LastEnsuredDir) return true;
  if (run.EnsuredDirs.count(folder) != 0) {
    run.LastEnsuredDir = folder;
    return true;
  }
  bool ok = false;
  try {
    ok = pf::ForceDirectories(folder, trusted);
  } catch (...) {
    ok = false;
  }
  run.LastEnsuredDir = ok ? folder : std::u16string();
  if (ok) run.EnsuredDirs.insert(folder);
  return ok;
}

void TQPBaseArchiver::ExtractOneItem(TQPExtractRun& run, int32_t index, std::u16string name, const std::u16string& base) {
  const TDirItem& item = dirManager_->Directory.ItemRef(index);
  uint32_t attr = item.CentralDirItem.ExternalAttributes;
  const std::u16string storedName = name;
  DoOnExtractFile(name, attr, item.ItemComment);
  // A handler gets the name with '\' and hands it back with '/'. Windows takes either, but
  // the checks and the folder part below look for '\' only, so the name is normalised first:
  // a handler that changed nothing then leaves the stored name, to be judged as such.
  std::replace(name.begin(), name.end(), u'/', u'\\');
  // A name below the destination must stay below it, whether stored or chosen by a handler
  // (so a handler that prefixes or renames cannot carry a stored "..\" out by accident).
  // Only a handler may send an item elsewhere, and only by giving a path from a root.
  const bool redirected = name != storedName && IsRootedPath(name);
  if (!redirected && !StaysInsideDestination(name)) throw EQPException(19, this, {name});
  // Whatever its origin, a name must reach a plain file: not a device, not a name that a NUL
  // cuts short or that Windows shortens by its trailing dots and blanks, since masks and
  // checks judged the full name.
  if (!IsPlainFileName(name)) throw EQPException(19, this, {name});

  std::u16string folder = redirected ? std::u16string() : base;
  if (!Options().CreateDirs) {
    const size_t sep = name.find_last_of(u"\\:");
    if (sep != std::u16string::npos) name = name.substr(sep + 1);
  } else {
    const std::u16string tree = folder + FolderOf(name);
    if (!tree.empty() && !EnsureDirectory(run, tree, redirected ? tree.size() : folder.size()))
      throw EQPException(neCannotCreateFolder, this, {tree}, pf::LastSystemError());
  }

  if (item.IsFolder()) return;

  std::u16string dest = folder + name;
  // Most items are new: a create that fails when the name is taken settles that in one step,
  // where asking and then creating would take two. A name that is taken goes the full way.
  std::unique_ptr<TQPFileStream> file = CreateOrNull([&] { return TQPFileStream::CreateNew(dest); });
  bool replacing = !file && pf::FileExists(dest);
  if (replacing) {
    if (!Options().ReplaceReadOnly && (pf::GetFileAttributes(dest) & pf::faReadOnly) != 0) return;
    switch (Options().OverwriteMode) {
      case omPrompt: {
        bool confirm = false;
        const std::u16string asked = dest;
        DoOnConfirmOverwrite(name, dest, confirm);
        if (!confirm) return;
        // The handler may have chosen another path, which may not exist.
        if (dest != asked) replacing = pf::FileExists(dest);
        break;
      }
      case omAlways:
        break;
      case omNever:
        return;
      case omIfNewer:
      case omIfOlder: {
        const auto existing = static_cast<int32_t>(static_cast<uint32_t>(pf::FileDosDateTime(dest)));
        const auto archived =
            static_cast<int32_t>(static_cast<uint32_t>(item.CentralDirItem.Date) << 16 | item.CentralDirItem.Time);
        const bool write = Options().OverwriteMode == omIfNewer ? archived > existing : archived < existing;
        if (!write) return;
        break;
      }
    }
  }

  // An existing file is replaced only once the new one is complete: until then its data goes
  // to a temporary file beside it, so that a failure, a skip or a cancel loses nothing.
  const std::u16string target = replacing ? TemporaryNameBeside(dest) : dest;
  if (!file) file = CreateOrNull([&] { return TQPFileStream::Create(target); });
  if (!file) throw EQPException(neCannotCreateFile, this, {dest});

  std::exception_ptr failure;
  bool keep = false;
  try {
    keep = DecodeItemInto(index, *file, &run);
  } catch (...) {
    failure = std::current_exception();
  }
  const uint32_t dosTime = static_cast<uint32_t>(item.CentralDirItem.Date) << 16 | item.CentralDirItem.Time;
  const bool complete = !failure && !run.Cancel && keep;
  // Through the handle: looking the name up again would cost a call per file. A file that is
  // deleted below gets neither its time nor its attributes (a read-only one could not be
  // deleted), nor a flush.
  if (complete) {
    if (Options().SetAttributes)
      file->Handle().SetDosDateTimeAndAttributes(dosTime, attr);
    else
      file->Handle().SetDosDateTime(dosTime);
    // A flush that fails does not fail the item (as for the time and the attributes).
    if (Options().FlushBuffers && OnRemovableDrive(run, dest)) static_cast<void>(file->Flush());
  }
  file.reset();

  // A failed, cancelled or skipped item leaves nothing behind, and a file it was to replace
  // stays as it was.
  if (!complete) {
    pf::DeleteFile(target);
    if (failure) std::rethrow_exception(failure);
    return;
  }
  if (replacing) {
    pf::SetFileAttributes(dest, 0);
    if (!pf::MoveFileReplace(target, dest)) {
      pf::SetFileAttributes(target, 0);
      pf::DeleteFile(target);
      throw EQPException(neCannotCreateFile, this, {dest});
    }
  }
}
