#include "common/core/RunLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "common/core/DataFolder.h"

namespace parlux {

namespace fs = std::filesystem;

fs::path RunLogPath(const fs::path& programFolder, const std::string& programName) {
    const std::string name = programName + ".log";
    if (::access(programFolder.c_str(), W_OK) == 0) return programFolder / name;
    fs::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        state = fs::path(home) / ".local" / "state";
    else
        return programFolder / name;  // nowhere better: the log says why it cannot be written
    std::error_code ec;
    fs::create_directories(state / "parlux", ec);
    return state / "parlux" / name;
}

fs::path RunLogPath() { return RunLogPath(ProgramFolder(), ProgramName()); }

namespace {

[[noreturn]] void LogFailure(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

}  // namespace

struct RunLog::File {
    int fd = -1;
    ~File() { shut(); }
    void shut() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

RunLog::RunLog(fs::path path) : path_(std::move(path)), file_(std::make_shared<File>()) {}

void RunLog::reset() const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) LogFailure("cannot empty the run log", path_, errno);
    ::close(fd);  // an open descriptor appends and so goes on at the new end
}

void RunLog::close() const { file_->shut(); }

namespace {

void AppendQuoted(std::string& record, const std::string& text) {
    record += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        record += (byte < 0x20 || byte == 0x7f) ? '?' : c;
    }
    record += '"';
}

}  // namespace

std::string RunLog::append(DateTime localTime, const std::string& top, const std::string& detail) const {
    std::string record = FormatLogDate(localTime);
    record += ',';
    AppendQuoted(record, top);
    record += ',';
    AppendQuoted(record, detail);

    if (file_->fd < 0) {
        file_->fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (file_->fd < 0) LogFailure("cannot open the run log", path_, errno);
    }
    const std::string line = record + "\r\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(file_->fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            file_->shut();
            LogFailure("cannot write the run log", path_, error);
        }
        done += static_cast<std::size_t>(n);
    }
    return record;
}

void ResetLog() { RunLog(RunLogPath()).reset(); }

}  // namespace parlux
