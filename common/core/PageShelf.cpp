#include "common/core/PageShelf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <thread>

#include "common/core/FolderOwner.h"
#include "common/core/WholeFile.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

void CloseQuietly(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PageShelf::PageShelf(fs::path folder, std::chrono::milliseconds wait) : folder_(std::move(folder)) {
    // The folder is the owner's choice, links and all; the shelf in it is ours.
    folderFd_ = ::open(folder_.empty() ? "." : folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ >= 0) openShelf(wait);
}

PageShelf::~PageShelf() {
    CloseQuietly(shelf_);  // and its lock with it
    CloseQuietly(folderFd_);
}

void PageShelf::openShelf(std::chrono::milliseconds wait) {
    struct stat folder {};
    if (::fstat(folderFd_, &folder) != 0) return;
    const bool made = ::mkdirat(folderFd_, kShelfName, 0755) == 0;
    shelf_ = ::openat(folderFd_, kShelfName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (shelf_ < 0) return;
    // Root's run in a user's folder leaves the shelf to the user, as its pages.
    if (made && ::geteuid() == 0 && folder.st_uid != 0) [[maybe_unused]]
        const int given = ::fchown(shelf_, folder.st_uid, folder.st_gid);
    struct stat shelf {};
    const bool ours = ::fstat(shelf_, &shelf) == 0 && S_ISDIR(shelf.st_mode) && (shelf.st_mode & 022) == 0 &&
                      (shelf.st_uid == ::geteuid() || shelf.st_uid == folder.st_uid);
    if (!ours) return CloseQuietly(shelf_);
    owner_ = shelf.st_uid;
    const auto until = std::chrono::steady_clock::now() + wait;
    while (::flock(shelf_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= until)
            return CloseQuietly(shelf_);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int PageShelf::openCopy(const std::string& name) const {
    // A copy is a regular file of the shelf's owner or ours with one name:
    // anything else there (a link, a second name of a file elsewhere, a FIFO)
    // is removed, never written through.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::openat(shelf_, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        struct stat copy {};
        if (fd >= 0 && ::fstat(fd, &copy) == 0 && S_ISREG(copy.st_mode) && copy.st_nlink == 1 &&
            (copy.st_uid == owner_ || copy.st_uid == ::geteuid()))
            return fd;
        if (fd >= 0) ::close(fd);
        if (::unlinkat(shelf_, name.c_str(), 0) != 0) return -1;
    }
    return -1;
}

bool PageShelf::exchange(const std::string& name, const std::string& content) {
#ifdef RENAME_EXCHANGE
    const fs::path page = folder_ / name;
    struct stat old {};
    const bool exists = ::fstatat(folderFd_, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;
    int fd = openCopy(name);
    if (fd < 0) return false;
    struct Closed {
        int& fd;
        ~Closed() { CloseQuietly(fd); }
    } closed{fd};
    ::fchmod(fd, static_cast<mode_t>(ReplacementMode(page)));
    KeepForFolderOwner(fd, page);
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot write file", page, n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0) Fail("cannot write file", page, errno);
    const int rc = ::close(fd);
    fd = -1;
    if (rc != 0) Fail("cannot write file", page, errno);
    if (exists && ::renameat2(shelf_, name.c_str(), folderFd_, name.c_str(), RENAME_EXCHANGE) == 0) return true;
    // The first run, or a file system without the exchange: the copy moves in.
    if (::renameat(shelf_, name.c_str(), folderFd_, name.c_str()) != 0) Fail("cannot replace file", page, errno);
    return true;
#else
    (void)name, (void)content;
    return false;
#endif
}

void PageShelf::replace(const std::string& name, const std::string& content) {
    if (shelf_ < 0 || name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        !exchange(name, content))
        ReplaceWholeFile(folder_ / name, content);
}

}  // namespace parlux
