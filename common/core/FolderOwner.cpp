#include "common/core/FolderOwner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace parlux {

namespace fs = std::filesystem;

namespace {

// The owner of the folder that holds path, when root should give its files
// to them.
std::optional<struct stat> ForeignFolder(const fs::path& path) {
    if (::geteuid() != 0) return std::nullopt;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    struct stat owner {};
    if (::stat(folder.c_str(), &owner) != 0 || owner.st_uid == 0) return std::nullopt;
    return owner;
}

}  // namespace

void KeepForFolderOwner(int fd, const fs::path& path) {
    if (fd < 0) return;
    const auto owner = ForeignFolder(path);
    if (!owner) return;
    // Only what root itself made: a second link could be a file of root's
    // elsewhere, planted here to be given away.
    struct stat made {};
    if (::fstat(fd, &made) != 0 || !S_ISREG(made.st_mode) || made.st_uid != 0 || made.st_nlink != 1) return;
    [[maybe_unused]] const int changed = ::fchown(fd, owner->st_uid, owner->st_gid);
}

void KeepForFolderOwner(const fs::path& path) {
    // Opened only when there is something to do: closing a descriptor of a
    // file drops every lock this process holds on it (SQLite's among them).
    if (!ForeignFolder(path)) return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    KeepForFolderOwner(fd, path);
    ::close(fd);
}

}  // namespace parlux
