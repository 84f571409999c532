#pragma once
// Command lines of the original desktop mapped to this one: the text and hex
// editors and the file explorer become the desktop's opener (xdg-open), a
// program of the suite named with ".exe" runs the executable without it.
// Command lines are split into program and arguments, never handed to a shell.
#include <string>
#include <vector>

namespace parlux {

// The desktop's opener of documents, folders and addresses.
inline constexpr const char* kOpener = "xdg-open";

// What StartDetached runs for a command line: the program followed by its
// arguments, after the mapping above; empty when there is nothing to run.
std::vector<std::string> MapCommandLine(const std::string& commandLine);

// Whether program (a path, or a name looked up in PATH) can be run.
bool Runnable(const std::string& program);
// The suite's programs are built without the ".exe" of their names; a program
// that cannot be found as written is looked for without it.
std::string ResolveProgram(const std::string& program);
// Whether a name ends in ".exe", in any case.
bool EndsWithExe(const std::string& name);

}  // namespace parlux
