// The subcommands of the quillpack tool. Each takes the arguments after its name and returns
// the process exit status.
#pragma once

#include <string>
#include <vector>

int RunList(const std::vector<std::string>& args);
int RunTest(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);
int RunSfx(const std::vector<std::string>& args);
