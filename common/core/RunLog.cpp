#include "common/core/RunLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "common/core/DataFolder.h"
#include "common/core/FolderOwner.h"
#include "common/core/StderrLines.h"

namespace parlux {

namespace fs = std::filesystem;

fs::path RunLogPath(const fs::path& programFolder, const std::string& programName) {
    const std::string name = programName + ".log";
    if (ProgramFolderIsOwn(programFolder)) return programFolder / name;
    const fs::path state = UserFolder("XDG_STATE_HOME", ".local/state");
    // No home, or another user's (UserFolder has said so): no log file at all.
    if (state.empty()) return {};
    std::error_code ec;
    fs::create_directories(state / "parlux", ec);
    return state / "parlux" / name;
}

fs::path RunLogPath() { return RunLogPath(ProgramFolder(), ProgramName()); }

namespace {

// A filesystem_error that reads "<path>: <what>: <why>", the line a program
// stops with.
class LogError final : public fs::filesystem_error {
public:
    LogError(const std::string& what, const fs::path& path, std::error_code code)
        : fs::filesystem_error(what, path, code), text_(path.string() + ": " + what + ": " + code.message()) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

[[noreturn]] void LogFailure(const char* what, const fs::path& path, int error) {
    throw LogError(what, path, std::error_code(error, std::generic_category()));
}

// The log opened for writing: never through a link (a user's link must not
// make root write over a file of root's), and only when it is a regular file
// (a FIFO would block the run, a device would take the records). Such a log
// is refused: -1, with the reason in `refused`.
int OpenLog(const fs::path& path, const char* what, std::string& refused) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ELOOP) {
        refused = "the run log is a link, never written through";
        return -1;
    }
    // A FIFO nobody reads, a folder.
    if (fd < 0 && (errno == ENXIO || errno == EISDIR)) {
        refused = "the run log is not a regular file";
        return -1;
    }
    if (fd < 0) LogFailure(what, path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        refused = "the run log is not a regular file";
        return -1;
    }
    KeepForFolderOwner(fd, path);
    return fd;
}

}  // namespace

struct RunLog::File {
    int fd = -1;
    bool said = false;  // a link or no regular file was refused, and said so
    // Opens the log; false when no log is kept (a link or no regular file at
    // its path, looked at again each time: a window outlives its runs). The
    // refusal is said once on stderr.
    bool open(const fs::path& path, const char* what) {
        std::string why;
        fd = OpenLog(path, what, why);
        if (fd >= 0) return true;
        if (!said) StderrLine(path.string() + ": " + why + ": no log kept");
        said = true;
        return false;
    }
    ~File() { shut(); }
    void shut() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

RunLog::RunLog(fs::path path) : path_(std::move(path)), file_(std::make_shared<File>()) {}

void RunLog::reset() const {
    if (path_.empty()) return;
    // Emptied only once it is known to be a regular file of its own.
    file_->shut();
    if (!file_->open(path_, "cannot empty the run log")) return;
    const int emptied = ::ftruncate(file_->fd, 0) == 0 ? 0 : errno;
    file_->shut();  // an open descriptor appends and so goes on at the new end
    if (emptied != 0) LogFailure("cannot empty the run log", path_, emptied);
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

    if (path_.empty()) return record;
    if (file_->fd < 0 && !file_->open(path_, "cannot open the run log")) return record;
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
