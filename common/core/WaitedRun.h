#pragma once
// The waiting road of an unattended run. "--wait FULL_AUTO" (Gridhub,
// Pulsegrid) asks a program to wait for the programs it starts and to end
// with the worst of their statuses; the request reaches the programs it
// starts through the environment they inherit, so that a Pulsegrid started
// by a waiting Gridhub waits for its Flaggrid in turn.
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace parlux {

// The word before FULL_AUTO, and the environment variable that carries the
// request on ("1").
inline constexpr std::string_view kWaitWord = "--wait";
inline constexpr const char* kWaitVariable = "PARLUX_WAIT";

// Whether the program starts others unattended and so can wait for them.
bool CanWait(std::string_view program);
// A command line of exactly "--wait FULL_AUTO" for a program that can wait:
// the request is made (for this program and what it starts) and the command
// line becomes "FULL_AUTO". Any other command line comes back as it is.
std::string TakeWaitWord(std::string_view program, const std::string& commandLine);
// Whether this run was asked to wait: PARLUX_WAIT is "1".
bool WaitRequested();
void RequestWaiting();

// A child's wait status (waitpid) as an exit status: its exit code, or 1 for
// a program ended by a signal.
int ExitStatusOf(int waitStatus);
// "ended with status 1", "was ended by signal 9".
std::string DescribeEnd(int waitStatus);
// Waits for a child of this process, calling between() about every 20 ms
// meanwhile (a window's events); its wait status, or -1 when it is not a
// child that can be waited for. When a signal was passed on to the programs
// waited for, the end of the last of them ends this program with it.
int WaitForChild(pid_t pid, const std::function<void()>& between);

}  // namespace parlux
