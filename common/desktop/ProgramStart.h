#pragma once
// Starting programs: with or without waiting, in a chosen window state.
#include <string>
#include <vector>

#include "common/core/Process.h"

namespace parlux {

// Runs a command line as a new process and waits for it to end; a command
// that cannot start returns at once.
void ExecCmd(const std::string& commandLine, short showStyle);

// Starts a command line without waiting. Tools of the original desktop
// ("EditPad.exe file", "HEdit.exe file", "EXPLORER.EXE /n,/e,folder") go to the opener; a program
// of the suite named by path + ".exe" runs the executable beside it without
// the extension. Returns false when nothing could be started.
bool StartDetached(const std::string& commandLine, short showStyle);

// Starts argv (program first) without waiting and with no input; false when
// it could not be started.
bool StartDetachedArgv(const std::vector<std::string>& argv);

}  // namespace parlux
