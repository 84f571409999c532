#pragma once
// Command lines and the suite's programs: splitting a command line into
// words, and finding a program of the suite beside this one.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// Window states for started programs (the platform's show styles).
enum ShowStyle : short { kShowHidden = 0, kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

// The text before the first NUL; "" when the NUL comes first; without a NUL,
// the text without its trailing blanks.
std::string RTrimNull(std::string_view text);

// Splits a command line into program and arguments: blanks separate words,
// double quotes group (and are removed). Never handed to a shell.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// A program of the suite named as the menus name it ("Pulsegrid.exe"): the
// executable file of that name in the folder, or else the one without ".exe"
// as the programs are built here. Empty when neither exists.
std::filesystem::path FindSuiteProgram(const std::filesystem::path& folder, const std::string& fileName);

// The file a program of the suite is looked for as: the folder and the name
// without ".exe".
std::filesystem::path SuiteProgramPath(const std::filesystem::path& folder, const std::string& fileName);

}  // namespace parlux
