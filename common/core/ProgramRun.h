#pragma once
// What every program of the suite does around its own work: the standard
// options (--help, --version), the lines it writes on stderr, and the lock
// that keeps one copy per program on a data folder whatever the session.
#include <array>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

#include "common/core/Sinks.h"

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
// version line to out and gives the exit status (0); anything else gives
// nothing, and the program goes on as usual.
std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out);

// "<program>: <text>" on stderr as one line: the line breaks of a message
// box's text become "; ". The program is ProgramName() unless set.
void SetStderrProgram(std::string name);
const std::string& StderrProgram();
std::string OneLine(std::string_view text);
void StderrLine(std::string_view text);

// An ostream buffer that starts every line it passes on to stderr with
// "<program>: ". While it lives, std::cerr writes through it.
class StderrLines final : public std::streambuf {
public:
    StderrLines();
    ~StderrLines() override;
    StderrLines(const StderrLines&) = delete;
    StderrLines& operator=(const StderrLines&) = delete;

protected:
    int overflow(int c) override;

private:
    std::string line_;
    std::streambuf* saved_;
};

// flock on "<folder>/.<program>.lock", held until destruction (the program's
// life). The file is opened without following a link, refused unless it is a
// regular file, and never inherited by started programs.
class DataFolderLock {
public:
    enum class State { Taken, Held, Unusable };
    DataFolderLock(const std::filesystem::path& folder, std::string_view program);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    State state() const { return state_; }
    // Why the lock could not be used (Unusable).
    const std::string& problem() const { return problem_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    State state_ = State::Unusable;
    std::string problem_;
    int fd_ = -1;
};

// The line a copy that finds the lock held ends with.
std::string AnotherCopyText(const std::filesystem::path& folder);

// Before a program of the data folder writes anything: reads Parlux.conf
// there (site::SetCurrent) and, for a program that works on the folder, takes
// its lock into lock. False, with the line to end on in problem, when a line
// of the file is bad or another copy holds the lock. A lock that cannot be
// used at all (a link, say) is reported on stderr and the program runs
// without it; a folder that is not there is left to the run to report.
bool OpenDataFolder(std::string_view program, const std::filesystem::path& folder,
                    std::unique_ptr<DataFolderLock>& lock, std::string& problem);
// The same, the problem told to messages.
bool OpenDataFolder(std::string_view program, const std::filesystem::path& folder,
                    std::unique_ptr<DataFolderLock>& lock, MessageSink& messages);

}  // namespace parlux
