#pragma once
// Room on the disk for the history: the pages of the night come first, so
// the history records nothing and writes no page when the data folder's disk
// is close to full. No database here.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace parlux::history {

// What a run leaves behind at most for each pinger x remailer figure: its
// rows, their passage through the log, the trend page's and the report's
// share, several times over.
inline constexpr std::uintmax_t kRoomPerFigure = 256;
// Room always left to the pages of the rest of the night.
inline constexpr std::uintmax_t kRoomForPages = 16U << 20;

// The bytes the history asks to be free before it records a run of so many
// figures.
inline std::uintmax_t RoomNeeded(std::size_t figures) { return kRoomForPages + figures * kRoomPerFigure; }

// Why the history steps aside ("only 180 KB free on <folder>, ..."), or
// nothing when there is room (or the disk cannot say).
std::optional<std::string> ShortOfRoom(const std::filesystem::path& folder, std::size_t figures);

}  // namespace parlux::history
