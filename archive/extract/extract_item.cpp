// Extracting one item to disk, in steps: resolve the destination (OnExtractFile, the name
// checks, the folders), decide the overwrite, write through a pending file that removes
// itself unless committed, then time, attributes and flush, and commit.
#include <exception>
#include <memory>

#include "archive/base/exception.h"
#include "archive/base/path_utils.h"
#include "archive/directory/dir_array.h"
#include "archive/extract/extract_run.h"
#include "archive/extract/pending_file.h"
#include "archive/extract/run_host.h"
#include "archive/extract/safe_path.h"
#include "archive/format/item_path.h"
#include "archive/io/file_stream.h"
#include "platform/platform.h"

namespace pf = qp::platform;

namespace {

uint32_t DosDateTimeOf(const TDirItem& item) {
  return static_cast<uint32_t>(item.CentralDirItem.Date) << 16 | item.CentralDirItem.Time;
}

// A new file for `dest`, or null when a file already answers to the name (or it cannot be
// made: the full way after it tells which).
std::unique_ptr<TQPPendingFile> CreateIfNew(const std::u16string& dest) {
  std::unique_ptr<TQPFileStream> file;
  try {
    file = TQPFileStream::CreateNew(dest);
  } catch (const std::exception&) {
    return nullptr;
  }
  return file ? std::make_unique<TQPPendingFile>(std::move(file), dest) : nullptr;
}

}  // namespace

bool TQPExtractRun::OnRemovableDrive(const std::u16string& path) {
  // By letter, or the current drive's for a relative path; network shares are asked every time.
  size_t slot = 26;
  if (path.size() >= 2 && path[1] == u':') {
    const char16_t letter = path[0] | 0x20;
    if (letter < u'a' || letter > u'z') return QPIsOnRemovableDrive(path);
    slot = letter - u'a';
  } else if (path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/')) {
    return QPIsOnRemovableDrive(path);
  }
  uint8_t& known = driveRemovable_[slot];
  if (known == 0) known = QPIsOnRemovableDrive(path) ? 1 : 2;
  return known == 1;
}

bool TQPExtractRun::EnsureDirectory(const std::u16string& folder, size_t trusted) {
  // Asking the file system again for a folder already made would cost a walk over every
  // component of the path for each file.
  if (!lastEnsuredDir_.empty() && folder == lastEnsuredDir_) return true;
  if (ensuredDirs_.count(folder) != 0) {
    lastEnsuredDir_ = folder;
    return true;
  }
  bool ok = false;
  try {
    ok = pf::ForceDirectories(folder, trusted);
  } catch (const std::exception&) {
    ok = false;
  }
  lastEnsuredDir_ = ok ? folder : std::u16string();
  if (ok) ensuredDirs_.insert(folder);
  return ok;
}

bool TQPExtractRun::ResolveDestination(const TDirItem& item, std::u16string& name, uint32_t& attr,
                                       const std::u16string& base, std::u16string& dest) {
  const TComponent* component = host_.RunComponent();
  name = item.ItemName;
  host_.DoOnExtractFile(name, attr, item.ItemComment);
  // The dispatcher hands the name back in the stored form; paths are built from the other.
  name = QPEnginePathOf(name);
  // A name below the destination must stay below it, whether stored or chosen by a handler
  // (so a handler that prefixes or renames cannot carry a stored "..\" out by accident).
  // Only a handler may send an item elsewhere, and only by giving a path from a root.
  const bool redirected = IsRootedPath(name) && name != QPEnginePathOf(item.ItemName);
  if (!redirected && !StaysInsideDestination(name)) throw EQPException(neCannotCreateFile, component, {name});
  // Whatever its origin, a name must reach a plain file: not a device, not a name that a NUL
  // cuts short or that Windows shortens by its trailing dots and blanks, since masks and
  // checks judged the full name.
  if (!IsPlainFileName(name)) throw EQPException(neCannotCreateFile, component, {name});

  const std::u16string folder = redirected ? std::u16string() : base;
  if (!host_.RunOptions().CreateDirs) {
    const size_t sep = name.find_last_of(u"\\:");
    if (sep != std::u16string::npos) name = name.substr(sep + 1);
  } else {
    const std::u16string tree = folder + QPFolderOf(name);
    if (!tree.empty() && !EnsureDirectory(tree, redirected ? tree.size() : folder.size()))
      throw EQPException(neCannotCreateFolder, component, {tree}).WithSystemError(pf::LastSystemError());
  }
  if (item.IsFolder()) return false;
  dest = folder + name;
  return true;
}

std::unique_ptr<TQPPendingFile> TQPExtractRun::DecideOverwrite(const TDirItem& item, const std::u16string& name,
                                                               std::u16string& dest) {
  // Most items are new: a create that fails when the name is taken settles that in one step,
  // where asking and then creating would take two. A name that is taken goes the full way.
  if (std::unique_ptr<TQPPendingFile> created = CreateIfNew(dest)) return created;
  bool replacing = pf::FileExists(dest);
  const TQPOptions& options = host_.RunOptions();
  if (replacing) {
    if (!options.ReplaceReadOnly && (pf::GetFileAttributes(dest) & pf::faReadOnly) != 0) return nullptr;
    switch (options.OverwriteMode) {
      case omPrompt: {
        bool confirm = false;
        const std::u16string asked = dest;
        host_.DoOnConfirmOverwrite(name, dest, confirm);
        if (!confirm) return nullptr;
        // The handler may have chosen another path, which may not exist.
        if (dest != asked) replacing = pf::FileExists(dest);
        break;
      }
      case omAlways:
        break;
      case omNever:
        return nullptr;
      case omIfNewer:
      case omIfOlder: {
        const auto existing = static_cast<int32_t>(static_cast<uint32_t>(pf::FileDosDateTime(dest)));
        const auto archived = static_cast<int32_t>(DosDateTimeOf(item));
        const bool write = options.OverwriteMode == omIfNewer ? archived > existing : archived < existing;
        if (!write) return nullptr;
        break;
      }
    }
  }
  int systemError = 0;
  std::unique_ptr<TQPPendingFile> pending = TQPPendingFile::Create(dest, replacing, systemError);
  if (!pending)
    throw EQPException(neCannotCreateFile, host_.RunComponent(), {dest}).WithSystemError(systemError);
  return pending;
}

void TQPExtractRun::ExtractOneItem(int32_t index, const std::u16string& base) {
  const TDirItem& item = host_.RunDirectory().ItemRef(index);
  std::u16string name;
  uint32_t attr = item.CentralDirItem.ExternalAttributes;
  std::u16string dest;
  if (!ResolveDestination(item, name, attr, base, dest)) return;
  std::unique_ptr<TQPPendingFile> pending = DecideOverwrite(item, name, dest);
  if (!pending) return;

  // A failed, cancelled or skipped item leaves nothing behind (the pending file goes with
  // this frame), and a file it was to replace stays as it was.
  if (!host_.DecodeItemInto(index, pending->Stream(), this) || Cancel) return;
  const TQPOptions& options = host_.RunOptions();
  int systemError = 0;
  // Data that a removable drive did not take in full is not there, whatever the writes said.
  if (!pending->Finish(DosDateTimeOf(item), options.SetAttributes ? &attr : nullptr,
                       options.FlushBuffers && OnRemovableDrive(dest), systemError))
    throw EQPException(neWriteError, host_.RunComponent(), {}, systemError);
  if (!pending->Commit(systemError))
    throw EQPException(neCannotCreateFile, host_.RunComponent(), {dest}).WithSystemError(systemError);
}
