#include "common/core/WaitedRun.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "common/core/ScratchFiles.h"
#include "common/core/SuitePrograms.h"

namespace parlux {

bool CanWait(std::string_view program) {
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    return info && info->waits;
}

std::string TakeWaitWord(std::string_view program, const std::string& commandLine) {
    if (!CanWait(program) || commandLine != std::string(kWaitWord) + " FULL_AUTO") return commandLine;
    RequestWaiting();
    return "FULL_AUTO";
}

bool WaitRequested() {
    const char* value = std::getenv(kWaitVariable);
    return value && std::string_view(value) == "1";
}

void RequestWaiting() { ::setenv(kWaitVariable, "1", 1); }

int ExitStatusOf(int waitStatus) {
    if (waitStatus < 0) return 1;
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    return 1;
}

std::string DescribeEnd(int waitStatus) {
    if (waitStatus < 0) return "could not be waited for";
    if (WIFSIGNALED(waitStatus)) return "was ended by signal " + std::to_string(WTERMSIG(waitStatus));
    return "ended with status " + std::to_string(ExitStatusOf(waitStatus));
}

int WaitForChild(pid_t pid, const std::function<void()>& between) {
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            ForgetWaitedChild(pid);
            EndIfSignalled();  // a signal passed on: the last one waited for has ended
            return done == pid ? status : -1;
        }
        if (between) between();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace parlux
