#include "history/DiskRoom.h"

#include <sys/statvfs.h>

namespace parlux::history {

std::optional<std::string> ShortOfRoom(const std::filesystem::path& folder, std::size_t figures) {
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0) return std::nullopt;
    // What an ordinary user may still write: root's reserve is not the pages'.
    const std::uintmax_t free = static_cast<std::uintmax_t>(disk.f_bavail) * disk.f_frsize;
    const std::uintmax_t needed = RoomNeeded(figures);
    if (free >= needed) return std::nullopt;
    return folder.string() + ": only " + std::to_string(free / 1024) + " KB free, the history asks for " +
           std::to_string(needed / 1024) + " KB: the night's pages come first";
}

}  // namespace parlux::history
