// What the extract and test commands share: paths, masks, progress and Ctrl+C.
#include "tools/selection.h"

#include <algorithm>
#include <atomic>
#include <csignal>

#include "archive/format/item_path.h"
#include "platform/platform.h"
#include "tools/progress_bar.h"
#include "tools/terminal_text.h"

namespace pf = qp::platform;

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

}  // namespace

bool ParseCommandWords(const std::vector<std::string>& args, std::initializer_list<std::string> valueOptions,
                       CommandWords& words) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end()) {
      if (i + 1 >= args.size()) return false;
      words.values[a] = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return false;
    } else if (words.archive.empty()) {
      words.archive = a;
    } else {
      words.masks.push_back(a);
    }
  }
  return !words.archive.empty();
}

std::u16string EnginePath(const std::string& path) {
  return QPEnginePathOf(pf::Utf8ToUtf16(path));
}

void RunOnSelection(TQuillpack& archiver, const std::vector<std::string>& masks, const std::string& exclusion,
                    TQPProcessOperation operation) {
  const auto run = [&](const std::u16string& mask, const std::u16string& exclude) {
    if (operation == poTest)
      archiver.TestFiles(mask, archiver.Options().SearchAttr, exclude);
    else
      archiver.ExtractFiles(mask, archiver.Options().SearchAttr, exclude);
  };
  // Masks are written with either separator; the engine compares the single mask (and its
  // exclusion) with stored names and the mask lists with engine paths.
  const std::u16string exclude = pf::Utf8ToUtf16(exclusion);
  if (masks.size() <= 1) {
    run(masks.empty() ? std::u16string(u"*.*") : pf::Utf8ToUtf16(masks[0]), QPStoredFormOf(exclude));
  } else {
    for (const std::string& m : masks) archiver.FileMasks.push_back(EnginePath(m));
    if (!exclude.empty()) archiver.ExclusionMasks.push_back(QPEnginePathOf(exclude));
    run(u"", u"");
  }
}

std::string ShownItemName(const std::u16string& name, bool terminal) {
  const std::string text = pf::Utf16ToUtf8(QPStoredFormOf(name));
  return terminal ? EscapeControls(text) : EscapeLineBreaks(text);
}

int TaggedItems(TQuillpack& archiver, bool withFolders) {
  const TQPDirArray& dir = archiver.DirManager()->Directory;
  int count = 0;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemRef(i);
    if (item.IsTagged && (withFolders || !item.IsFolder())) ++count;
  }
  return count;
}

const char* RebuiltDirectoryNotice(TQPDirectoryState state) {
  switch (state) {
    case dsStored:
      return nullptr;
    case dsRebuiltCutOff:
      return "the archive is cut off (no end of central directory record); only the items found by their "
             "local headers were read, some may be missing";
    case dsRebuiltDamaged:
      return "the archive's central directory is damaged; only the items found by their local headers were "
             "read, some may be missing";
  }
  return nullptr;
}

void ConnectProgress(TQuillpack& archiver, ProgressBar& bar) {
  archiver.OnFileProgress = [&bar](TComponent*, const std::u16string& name, double, TQPProcessOperation,
                                   TQPProgressPhase phase, bool& cancel) {
    if (phase == ppStart) bar.SetItem(pf::Utf16ToUtf8(name));
    cancel = interrupted;
  };
  archiver.OnOverallProgress = [&bar](TComponent*, double progress, TQPProcessOperation, TQPProgressPhase,
                                      bool& cancel) {
    bar.SetPercent(progress);
    cancel = interrupted;
  };
}

void CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }

void ReleaseInterrupt() { std::signal(SIGINT, SIG_DFL); }

bool Interrupted() { return interrupted; }
