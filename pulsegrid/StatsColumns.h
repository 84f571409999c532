#pragma once
// The columns of Pulsegrid's tables, and the width of a remailer's name, which
// the parser cuts at and the pages line up on.

namespace parlux {

// StatsArray columns.
enum StatsColumn : int { kStatsNick = 0, kStatsName = 1, kStatsText = 2, kStatsKey = 3 };
inline constexpr int kStatsColumnCount = 4;
// PingersArray columns.
enum PingerColumn : int { kPingerNick = 0, kPingerUrl = 1, kPingerUpdate = 2 };
inline constexpr int kPingerColumnCount = 3;

// A stats line starts with the remailer's name in this many characters.
inline constexpr int kRemailerNameWidth = 9;

}  // namespace parlux
