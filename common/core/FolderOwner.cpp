#include "common/core/FolderOwner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlux {

namespace fs = std::filesystem;

void KeepForFolderOwner(int fd, const fs::path& path) {
    if (fd < 0 || ::geteuid() != 0) return;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    struct stat owner {};
    if (::stat(folder.c_str(), &owner) != 0 || owner.st_uid == 0) return;
    // Only what root itself made: a second link could be a file of root's
    // elsewhere, planted here to be given away.
    struct stat made {};
    if (::fstat(fd, &made) != 0 || !S_ISREG(made.st_mode) || made.st_uid != 0 || made.st_nlink != 1) return;
    [[maybe_unused]] const int changed = ::fchown(fd, owner.st_uid, owner.st_gid);
}

void KeepForFolderOwner(const fs::path& path) {
    if (::geteuid() != 0) return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    KeepForFolderOwner(fd, path);
    ::close(fd);
}

}  // namespace parlux
