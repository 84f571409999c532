#pragma once
// Files that root makes in a folder of another user (a night run once with
// sudo in the maintainer's data folder) are given to the folder's owner, so
// that the owner's next run can open its lock, its history and its pages.
#include <filesystem>

namespace parlux {

// The file just made (open on fd, at path) becomes the owner's of the folder
// that holds it, group too, when this process runs as root and the folder
// belongs to someone else. Nothing is done for anyone else, for a file that
// is not root's own regular file with one link, or when the folder cannot be
// read; a failed change is left unsaid (the file still works for root).
void KeepForFolderOwner(int fd, const std::filesystem::path& path);
// The same for a file known by its path only (opened without following a
// link); nothing when there is none.
void KeepForFolderOwner(const std::filesystem::path& path);

}  // namespace parlux
