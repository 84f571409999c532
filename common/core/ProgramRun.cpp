#include "common/core/ProgramRun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <ostream>

#include "common/core/DataFolder.h"
#include "common/core/SiteConfig.h"

#ifndef PARLUX_VERSION
#define PARLUX_VERSION "0"
#endif

namespace parlux {

namespace fs = std::filesystem;

const std::array<SuiteProgramInfo, 8> kSuiteProgramInfo = {{
    {"Pulsegrid", "compares the pingers' stats lists and writes the Comp_DS_, Comp_RS_ and Comp_RC_ pages", true, true,
     true},
    {"Flaggrid", "compares the remailers' capability strings and writes Comp_RC_0000.txt", true, true, true},
    {"Lockgrid", "compares the pingers' key files and writes the Comp_RK_ pages", true, true, true},
    {"Rosterbase", "writes Pingers.html, the list of pingers with links to their files", false, false, true},
    {"Rostermark", "writes PingersX.html, the list of pingers with each file's last upload date", false, false, true},
    {"Gridhub", "browses the data folder's results and starts the other programs", true, true, false},
    {"Fetchprobe", "tries the download routines on one address and one work file", true, false, false},
    {"Sandtest", "runs the two text-replacement routines side by side", true, false, false},
}};

const SuiteProgramInfo* FindSuiteProgramInfo(std::string_view name) {
    for (const SuiteProgramInfo& info : kSuiteProgramInfo)
        if (info.name == name) return &info;
    return nullptr;
}

std::string_view SuiteVersion() { return PARLUX_VERSION; }

std::optional<int> StandardOption(std::string_view program, int argc, char** argv, std::ostream& out) {
    if (argc != 2) return std::nullopt;
    const std::string_view word = argv[1];
    if (word == "--version") {
        out << program << " (Parlux) " << SuiteVersion() << "\n";
        return 0;
    }
    if (word != "--help") return std::nullopt;
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    if (info && info->fullAuto)
        out << "Usage: " << program << " [FULL_AUTO]\n";
    else
        out << "Usage: " << program << "\n";
    if (info) out << program << " " << info->summary << ".\n";
    if (info && info->fullAuto)
        out << "FULL_AUTO (the whole command line) runs it unattended, also without a display.\n";
    if (program != "Fetchprobe" && program != "Sandtest")
        out << "Data folder: $PARLUX_DATA, else ~/Parlux; the site's addresses in Parlux.conf there.\n";
    out << "See the manual page " << program << "(1).\n";
    return 0;
}

namespace {
std::string& StderrName() {
    static std::string name;
    return name;
}
}  // namespace

void SetStderrProgram(std::string name) { StderrName() = std::move(name); }

const std::string& StderrProgram() {
    if (StderrName().empty()) StderrName() = ProgramName();
    return StderrName();
}

std::string OneLine(std::string_view text) {
    std::string line;
    bool broken = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            broken = true;
            continue;
        }
        if (broken && !line.empty()) line += "; ";
        broken = false;
        line += c;
    }
    return line;
}

void StderrLine(std::string_view text) {
    const std::string line = StderrProgram() + ": " + OneLine(text) + "\n";
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

int StderrLines::overflow(int c) {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (c == '\n') {
        // A line that names the program already is passed on as it is.
        const std::string head = StderrProgram() + ": ";
        StderrLine(line_.starts_with(head) ? std::string_view(line_).substr(head.size()) : std::string_view(line_));
        line_.clear();
    } else {
        line_ += static_cast<char>(c);
    }
    return c;
}

StderrLines::StderrLines() : saved_(std::cerr.rdbuf(this)) {}

StderrLines::~StderrLines() {
    std::cerr.rdbuf(saved_);
    if (!line_.empty()) StderrLine(line_);
}

DataFolderLock::DataFolderLock(const fs::path& folder, std::string_view program)
    : path_(folder / ("." + std::string(program) + ".lock")) {
    // No link is followed and nothing but a plain file is taken: a FIFO would
    // block, a link could make root create or lock a file elsewhere.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0) {
        problem_ = path_.string() +
                   (errno == ELOOP ? " is a link" : " cannot be opened: " + std::string(std::strerror(errno)));
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem_ = path_.string() + " is not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    int result;
    do result = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Taken;
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::Held;
    } else {
        problem_ = path_.string() + " cannot be locked: " + std::strerror(errno);
    }
    ::close(fd_);
    fd_ = -1;
}

DataFolderLock::~DataFolderLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

std::string AnotherCopyText(const fs::path& folder) {
    return "another copy is working in " + folder.string() + ": nothing done";
}

bool OpenDataFolder(std::string_view program, const fs::path& folder, std::unique_ptr<DataFolderLock>& lock,
                    std::string& problem) {
    try {
        site::SetCurrent(site::LoadSiteConfig(folder));
    } catch (const site::SiteConfigError& e) {
        problem = e.what();
        return false;
    }
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    if (!info || !info->dataFolderLock) return true;
    lock = std::make_unique<DataFolderLock>(folder, program);
    switch (lock->state()) {
        case DataFolderLock::State::Taken:
            return true;
        case DataFolderLock::State::Held:
            problem = AnotherCopyText(folder);
            return false;
        case DataFolderLock::State::Unusable:
            break;
    }
    std::error_code ec;
    if (fs::is_directory(folder, ec)) StderrLine(lock->problem() + ": running without the data folder lock");
    return true;
}

bool OpenDataFolder(std::string_view program, const fs::path& folder, std::unique_ptr<DataFolderLock>& lock,
                    MessageSink& messages) {
    std::string problem;
    if (OpenDataFolder(program, folder, lock, problem)) return true;
    messages.critical(problem);
    return false;
}

}  // namespace parlux
