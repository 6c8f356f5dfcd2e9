// Small helpers shared by the component tests: UTF-16 paths, catching a native error, and
// archives with a few stored items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/base/exception.h"
#include "platform/platform.h"
#include "tests/support/zip_builder.h"

inline std::u16string U16(const std::string& s) { return qp::platform::Utf8ToUtf16(s); }

// The native error the call raised, or -1 when it raised none.
template <typename F>
int32_t NativeErrorOf(F&& f) {
  try {
    f();
  } catch (const EQPException& e) {
    return e.NativeError;
  }
  return -1;
}

inline std::string ZipWithNames(const std::vector<std::string>& names, const std::string& prefix = "") {
  ZipBuilder builder;
  builder.Prefix(prefix);
  for (const std::string& name : names) {
    ZipEntry entry;
    entry.name = name;
    entry.data = "content of " + name;
    builder.Add(entry);
  }
  return builder.Build();
}
