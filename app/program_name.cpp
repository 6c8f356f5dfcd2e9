// The parts of the program's own path the start-up needs, and the setup-mode rule.
#include "app/program_name.h"

namespace {

size_t AfterLastSeparator(const std::u16string& path) {
  const size_t at = path.find_last_of(u"\\/:");
  return at == std::u16string::npos ? 0 : at + 1;
}

}  // namespace

std::u16string FolderPart(const std::u16string& path) { return path.substr(0, AfterLastSeparator(path)); }

std::u16string FileNamePart(const std::u16string& path) { return path.substr(AfterLastSeparator(path)); }

bool IsSetupProgramName(const std::u16string& lowerCasedFileName) {
  return lowerCasedFileName.find(u"setup") != std::u16string::npos;
}
