// The form in which a path is handed to the wide file API: unchanged while it is short, the
// extended-length form ("\\?\...") once its full form reaches the old length limit.
#pragma once

#include <string>

namespace qp::platform::win32 {

std::u16string ApiPath(const std::u16string& path);

}  // namespace qp::platform::win32
