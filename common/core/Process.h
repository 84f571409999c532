#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// The text before the first NUL; "" when the NUL comes first; without a NUL,
// the text without its trailing blanks.
std::string RTrimNull(std::string_view text);

// Splits a command line into program and arguments: blanks separate words,
// double quotes group (and are removed). Never handed to a shell.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace parlux
