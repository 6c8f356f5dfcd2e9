// Path splitting and the removable-drive test.
#include "archive/base/path_utils.h"

#include "platform/platform.h"

namespace {

size_t FileNameStart(std::u16string_view path) {
  const size_t at = path.find_last_of(u"\\/:");
  return at == std::u16string_view::npos ? 0 : at + 1;
}

}  // namespace

TQPPathParts QPSplitPath(std::u16string_view path) {
  const size_t nameStart = FileNameStart(path);
  const std::u16string_view name = path.substr(nameStart);
  const size_t dot = name.rfind(u'.');
  TQPPathParts parts;
  parts.Folder = std::u16string(path.substr(0, nameStart));
  if (dot == std::u16string_view::npos) {
    parts.Base = std::u16string(name);
  } else {
    parts.Base = std::u16string(name.substr(0, dot));
    parts.Extension = std::u16string(name.substr(dot));
  }
  return parts;
}

std::u16string QPFileNamePart(std::u16string_view path) {
  return std::u16string(path.substr(FileNameStart(path)));
}

bool QPIsOnRemovableDrive(const std::u16string& path) {
  if (path.size() >= 2 && path[1] == u':') {
    const char16_t drive = path[0];
    if (drive == u'A' || drive == u'a' || drive == u'B' || drive == u'b') return true;
  }
  return qp::platform::GetDriveType(path) == qp::platform::DriveType::Removable;
}

std::u16string QPFolderOf(const std::u16string& path) {
  const size_t sep = path.rfind(u'\\');
  return sep == std::u16string::npos ? std::u16string() : path.substr(0, sep + 1);
}
