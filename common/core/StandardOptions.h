#pragma once
// The standard options every program of the suite takes (--help, --version).
#include <iosfwd>
#include <optional>
#include <string_view>

namespace parlux {

// The suite's version, "0.1".
std::string_view SuiteVersion();

// A command line of exactly "--help" or "--version" prints the usage or the
// version line to out and gives the exit status (0; 1 with a line on stderr
// when out cannot take it, a full disk say); anything else gives
// nothing, and the program goes on as usual.
std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out);

}  // namespace parlux
