#include "common/core/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/core/FolderOwner.h"
#include "common/core/ScratchFiles.h"
#include "common/core/Transfers.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int close() {
        int rc = 0;
        if (fd_ >= 0) rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

mode_t ProcessUmask() {
    // umask(2) can only be read by changing it; the status file shows it as it is.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    return 022;
}

class FileErrors final : public std::error_category {
public:
    const char* name() const noexcept override { return "parlux file"; }
    std::string message(int) const override { return "not a regular file"; }
};

}  // namespace

std::error_code NotRegularFileError() {
    static const FileErrors category;
    return {1, category};
}

std::string ReadFailureText(const fs::path& path, const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return path.string() + " Not found";
    return path.string() + " cannot be read: " + error.message();
}

unsigned ReplacementMode(const fs::path& path) {
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 0666;
    return 0644 & ~ProcessUmask();
}

std::string ReadWholeFile(const fs::path& path) {
    // Opening a FIFO for reading waits for a writer and opening a device may
    // act on it: the type is checked before the file is opened, and again on
    // what was opened (O_NONBLOCK returns at once should a FIFO be swapped in).
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw fs::filesystem_error("cannot read file", path, NotRegularFileError());
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) Fail("cannot open file", path, errno);
    if (::fstat(fd.get(), &info) != 0) Fail("cannot read file", path, errno);
    if (!S_ISREG(info.st_mode)) throw fs::filesystem_error("cannot read file", path, NotRegularFileError());
    // Room for the whole file at once: a string grown by doubling would take
    // up to twice a big page.
    std::string content;
    if (info.st_size > 0) content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("cannot read file", path, errno);
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

void ReplaceWholeFile(const fs::path& path, const std::string& content) {
    // A short scratch name, so that a file whose own name is near the limit
    // can still be replaced.
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string name = (folder / (ScratchPrefix() + "XXXXXX")).string();
    const int raw = ::mkostemp(name.data(), O_CLOEXEC);
    if (raw < 0) Fail("cannot create file", folder, errno);
    const fs::path temp = name;
    FileDescriptor fd(raw);
    struct Noted {
        int mark;
        ~Noted() { ForgetScratchFile(mark); }
    } noted{NoteScratchFile(name)};

    auto abandon = [&](const char* what, int error) {
        fd.close();
        ::unlink(temp.c_str());
        Fail(what, path, error);
    };

    ::fchmod(fd.get(), static_cast<mode_t>(ReplacementMode(path)));
    KeepForFolderOwner(fd.get(), path);

    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            abandon("cannot write file", errno);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fd.close() != 0) abandon("cannot write file", errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        Fail("cannot replace file", path, error);
    }
}

}  // namespace parlux
