// Real writers run in a scratch folder.
#include "tests/support/peer_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

std::string PeerWriter::Make(const std::string& tool, const std::string& command, const std::string& archive) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) != 0) {
    missing_ = true;
    return {};
  }
  const std::string line = "cd '" + dir_.path() + "' && rm -f " + archive + " && " + command + " 2>/dev/null";
  EXPECT_EQ(std::system(line.c_str()), 0) << command;
  std::string bytes = ReadFileBytes(dir_.path() + "/" + archive);
  EXPECT_FALSE(bytes.empty()) << command;
  return bytes;
}
