#pragma once
// Starting programs: with or without waiting, in a chosen window state.
#include <sys/types.h>

#include <string>
#include <vector>

#include "common/core/Process.h"

class QWidget;

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
// it could not be started. The window state asked for goes to the program in
// kWindowStateVariable.
bool StartDetachedArgv(const std::vector<std::string>& argv, short showStyle = kShowNormal);

// Starts a command line as StartDetached does, but as a child of this
// process that WaitForStarted can wait for; its process id, or -1 when it
// could not be started.
pid_t StartChild(const std::string& commandLine, short showStyle);
// Starts a command line as a child and waits for it, the window's events
// running meanwhile; its wait status, or -1 when it could not be started.
int StartAndWait(const std::string& commandLine, short showStyle);
// Waits for a child started by StartChild, the window's events running
// meanwhile; its wait status (see WaitForChild).
int WaitForStarted(pid_t pid);

// The environment variable that hands a started program of the suite the
// state its window is asked to open in: "normal", "minimized" or "maximized"
// (WindowStateWord of a show style).
inline constexpr const char* kWindowStateVariable = "PARLUX_WINDOW_STATE";
const char* WindowStateWord(short showStyle);

// Shows the program's main window in the state its starter asked for
// (normal when none was), and forgets the request.
void ShowAsAsked(QWidget* window);

}  // namespace parlux
