#pragma once
// The suite's programs as their command lines know them, and the standard
// options every one of them takes (--help, --version).
#include <array>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace parlux {

struct SuiteProgramInfo {
    std::string_view name;
    std::string_view summary;  // one line: what it does
    bool window;               // a window that waits for a user
    bool fullAuto;             // the command line FULL_AUTO runs it unattended
    bool dataFolderLock;       // holds the data folder's lock for its life
};
extern const std::array<SuiteProgramInfo, 8> kSuiteProgramInfo;
// The entry of a program by name; nullptr for a name not of the suite.
const SuiteProgramInfo* FindSuiteProgramInfo(std::string_view name);

// The suite's version, "0.1".
std::string_view SuiteVersion();

// A command line of exactly "--help" or "--version" prints the usage or the
// version line to out and gives the exit status (0; 1 with a line on stderr
// when out cannot take it, a full disk say); anything else gives
// nothing, and the program goes on as usual.
std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out);

}  // namespace parlux
