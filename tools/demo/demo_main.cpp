// parlux-demo: the main job on the bundled sample. Serves sample/www on a
// loopback port, fills a fresh data folder beside the program folder from
// sample/data, runs Pulsegrid FULL_AUTO headless, waits for it and for the
// Flaggrid it starts, then runs Lockgrid FULL_AUTO on the sample's key files,
// then Rosterbase and Rostermark (the pinger list pages), and lists the pages
// produced.
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/demo/DemoSetup.h"
#include "tools/demo/SampleServer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kPulsegridLimit = 5min;
constexpr auto kFollowersLimit = 60s;
constexpr auto kLockgridLimit = 5min;
constexpr auto kListPagesLimit = 2min;
constexpr const char* kListPages[] = {"Pingers.html", "PingersX.html"};

void Say(const std::string& line) { std::cout << "parlux-demo: " << line << std::endl; }
void Complain(const std::string& line) { std::cerr << "parlux-demo: " << line << std::endl; }

fs::path ExecutableFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// The environment of this process without the variables that would give the
// programs a display, with PARLUX_DATA naming the demo's data folder.
std::vector<std::string> HeadlessEnvironment(const fs::path& dataFolder) {
    static const char* const kDropped[] = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "PARLUX_DATA="};
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        bool drop = false;
        for (const char* prefix : kDropped) drop = drop || text.rfind(prefix, 0) == 0;
        if (!drop) env.push_back(text);
    }
    env.push_back("PARLUX_DATA=" + dataFolder.string());
    return env;
}

// Starts program with its arguments and environment, sharing our stdout and
// stderr. Returns the process id, or -1 (and reports why).
pid_t Start(const fs::path& program, const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argStrings{program.string()};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    for (auto& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::cout.flush();
    std::cerr.flush();
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data());
    if (rc != 0) {
        Complain("cannot start " + program.string() + ": " + std::strerror(rc));
        return -1;
    }
    return pid;
}

// Waits for one child until the deadline: its wait status, or nothing when it
// is still running then.
std::optional<int> WaitFor(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return status;
        if (done < 0 && errno != EINTR) return std::nullopt;
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(100ms);
    }
}

// Ends a child of ours: SIGTERM, then SIGKILL if it is still there after 5 s.
void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    if (!WaitFor(pid, Clock::now() + 5s)) {
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

std::string Describe(int status) {
    if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by signal ") + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

enum class Outcome { NotStarted, Failed, Done };

// Runs program (FULL_AUTO, or with no arguments) without a display on the
// data folder and waits for it, stopping it after limit. Done when it ended
// with exit code 0.
Outcome RunUnattended(const fs::path& program, const fs::path& dataFolder, Clock::duration limit,
                      bool fullAuto = true) {
    const std::string name = program.filename().string();
    const pid_t pid = Start(program, fullAuto ? std::vector<std::string>{"FULL_AUTO"} : std::vector<std::string>{},
                            HeadlessEnvironment(dataFolder));
    if (pid < 0) return Outcome::NotStarted;
    const auto status = WaitFor(pid, Clock::now() + limit);
    if (!status) {
        Complain(name + " did not finish within " +
                 std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + " s; stopping it");
        Stop(pid);
        return Outcome::Failed;
    }
    Say(name + " ended, " + Describe(*status));
    return WIFEXITED(*status) && WEXITSTATUS(*status) == 0 ? Outcome::Done : Outcome::Failed;
}

// Our child processes (with the command line of each), read from /proc. After
// Pulsegrid has ended, the programs it started are handed to us (we are their
// subreaper), so this is how we find the Flaggrid it started.
std::map<pid_t, std::string> OurChildren() {
    std::map<pid_t, std::string> children;
    const pid_t self = ::getpid();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // "pid (comm) state ppid ...": comm may hold blanks, so read after the last ')'.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) != 2 || ppid != self) continue;
        std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
        std::string command{std::istreambuf_iterator<char>(cmdline), std::istreambuf_iterator<char>()};
        while (!command.empty() && command.back() == '\0') command.pop_back();
        std::replace(command.begin(), command.end(), '\0', ' ');
        children[static_cast<pid_t>(std::stol(name))] = command.empty() ? "process " + name : command;
    }
    return children;
}

// Waits, at most kFollowersLimit, for every process Pulsegrid left behind.
void WaitForFollowers() {
    const auto deadline = Clock::now() + kFollowersLimit;
    std::map<pid_t, std::string> known;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, WNOHANG);
        if (done > 0) {
            auto it = known.find(done);
            Say((it != known.end() ? "\"" + it->second + "\"" : "process " + std::to_string(done)) + " ended, " +
                Describe(status));
            continue;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return;  // no child left
        for (const auto& [pid, command] : OurChildren()) {
            if (known.emplace(pid, command).second)
                Say("waiting for \"" + command + "\" (pid " + std::to_string(pid) + "), started by Pulsegrid");
        }
        if (Clock::now() >= deadline) {
            for (const auto& [pid, command] : OurChildren()) {
                Complain("\"" + command + "\" (pid " + std::to_string(pid) + ") still runs after " +
                         std::to_string(kFollowersLimit.count()) + " s; stopping it");
                Stop(pid);
            }
            return;
        }
        std::this_thread::sleep_for(100ms);
    }
}

// The pinger list pages: Rosterbase, then Rostermark, which asks the sample
// server when each file was last uploaded. False when one of them failed.
bool WriteListPages(const fs::path& binDir, const fs::path& dataFolder) {
    bool ok = true;
    for (const char* name : {"Rosterbase", "Rostermark"}) {
        const fs::path program = binDir / name;
        if (::access(program.c_str(), X_OK) != 0) {
            Say("note: " + program.string() + " is not built");
            continue;
        }
        Say("running " + program.string() + " without a display");
        ok = RunUnattended(program, dataFolder, kListPagesLimit, false) == Outcome::Done && ok;
    }
    return ok;
}

// Lists the pages produced, with their sizes, the web page to open and the run
// logs, and names the pages expected but missing. False when there is none.
bool ListProducedPages(const fs::path& binDir, const fs::path& dataFolder, bool withFlaggrid, bool withLockgrid) {
    auto pages = parlux::demo::ListPages(dataFolder);
    std::string missing;
    for (const char* name : kListPages) {
        std::error_code ec;
        const auto size = fs::file_size(dataFolder / name, ec);
        if (!ec)
            pages.push_back({name, size});
        else
            missing += std::string(" ") + name;
    }
    if (pages.empty()) {
        Complain("no comparison page was produced in " + dataFolder.string());
        return false;
    }
    std::cout << "\nPages produced in " << dataFolder.string() << ":\n";
    std::set<std::string> present;
    for (const auto& page : pages) {
        std::cout << "    " << std::left << std::setw(22) << page.name << std::right << std::setw(9) << page.size
                  << " bytes\n";
        present.insert(page.name);
    }
    for (const auto& name : parlux::demo::ExpectedPages(withFlaggrid, withLockgrid))
        if (!present.count(name)) missing += " " + name;
    std::cout << pages.size() << (pages.size() == 1 ? " page." : " pages.");
    // Point at one web page, the first type's when there is one.
    std::string webPage = present.count("Comp_DS_PGP-1.html") ? "Comp_DS_PGP-1.html" : "";
    for (const auto& page : pages)
        if (webPage.empty() && page.name.size() > 5 && page.name.compare(page.name.size() - 5, 5, ".html") == 0)
            webPage = page.name;
    if (!webPage.empty()) std::cout << " Open " << (dataFolder / webPage).string() << " in a web browser to see one.";
    std::cout << "\nRun log: " << (binDir / "Pulsegrid.log").string();
    for (const char* log : {"Flaggrid.log", "Lockgrid.log"})
        if (fs::exists(binDir / log)) std::cout << ", " << (binDir / log).string();
    std::cout << "\n";
    if (!missing.empty()) std::cout << "Not produced:" << missing << "\n";
    std::cout.flush();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::cerr << "usage: " << argv[0] << "\n"
                  << "Serves the sample pinger pages on a loopback port, copies sample/data to a fresh\n"
                  << "data folder (demo-data beside the program folder) and runs Pulsegrid FULL_AUTO,\n"
                  << "then Lockgrid FULL_AUTO, there without a display, then Rosterbase and Rostermark,\n"
                  << "and lists the pages produced.\n";
        return 2;
    }

    const fs::path sample = PARLUX_SAMPLE_DIR;
    const fs::path binDir = ExecutableFolder();
    const fs::path pulsegrid = binDir / "Pulsegrid";
    const fs::path flaggrid = binDir / "Flaggrid";
    const fs::path lockgrid = binDir / "Lockgrid";
    const fs::path dataFolder = (binDir.parent_path() / "demo-data").lexically_normal();

    if (!fs::is_directory(sample / "www") || !fs::is_directory(sample / "data")) {
        Complain("the sample is missing: " + (sample / "www").string() + ", " + (sample / "data").string());
        return 2;
    }
    if (::access(pulsegrid.c_str(), X_OK) != 0) {
        Complain(pulsegrid.string() + " is not built.");
        return 2;
    }

    // The programs Pulsegrid starts come back to us when it ends, so that we
    // can wait for them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);

    parlux::demo::SampleServer server(sample / "www");
    try {
        server.start();
    } catch (const std::exception& e) {
        Complain(e.what());
        return 2;
    }
    const int downPort = parlux::demo::ClosedLoopbackPort();
    if (downPort <= 0) {
        Complain("cannot find a free loopback port for the pinger that is down");
        return 2;
    }
    try {
        parlux::demo::PrepareDataFolder(sample / "data", dataFolder, server.port(), downPort);
    } catch (const std::exception& e) {
        Complain(std::string("cannot prepare the data folder: ") + e.what());
        return 2;
    }

    Say("sample pingers served at " + server.baseUrl() + " (from " + (sample / "www").string() + ")");
    Say("the pinger that is down points at port " + std::to_string(downPort) +
        "; its cached copies are in the data folder");
    Say("data folder " + dataFolder.string() + " (a fresh copy of " + (sample / "data").string() + ")");
    if (!fs::exists(flaggrid)) Say("note: " + flaggrid.string() + " is not built; there will be no Comp_RC_0000.txt");
    Say("running " + pulsegrid.string() + " FULL_AUTO without a display");

    const Outcome pulse = RunUnattended(pulsegrid, dataFolder, kPulsegridLimit);
    if (pulse == Outcome::NotStarted) return 1;
    bool failed = pulse != Outcome::Done;

    WaitForFollowers();

    // The keys comparer reads the key files of the same pingers.
    const bool withLockgrid = ::access(lockgrid.c_str(), X_OK) == 0;
    if (!withLockgrid) {
        Say("note: " + lockgrid.string() + " is not built; there will be no Comp_RK_ pages");
    } else {
        Say("running " + lockgrid.string() + " FULL_AUTO without a display");
        failed = RunUnattended(lockgrid, dataFolder, kLockgridLimit) != Outcome::Done || failed;
    }
    failed = !WriteListPages(binDir, dataFolder) || failed;
    server.stop();
    Say("the sample server answered " + std::to_string(server.requests()) + " requests");
    for (const auto& failure : server.failures()) Say("  not served: " + failure);

    if (!ListProducedPages(binDir, dataFolder, fs::exists(flaggrid), withLockgrid)) return 1;
    return failed ? 1 : 0;
}
