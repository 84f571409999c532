#pragma once
// What Gridhub knows without a window: the programs it starts and with what,
// the files it lists for an area and a type, and what it says of a file.
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "history/HistoryPages.h"

namespace parlux::gridhub {

// A check box's value: clear, ticked, grey.
enum CheckValue { kClear = 0, kTicked = 1, kGrey = 2 };

struct LaunchEntry {
    std::string label;   // Label1 i
    std::string file;    // the program file started (Label1 i's tooltip)
    CheckValue initial;  // Check1 i at start: ticked for a program with FULL_AUTO, else grey
};
// The suite's programs that have a caption for Gridhub, in the suite list's
// order (common/core/SuitePrograms.def).
extern const std::vector<LaunchEntry> kLaunchTable;

// The places in kLaunchTable of the programs HYPER starts, in the suite
// list's order (its hyper trait): Pulsegrid, Lockgrid, Rosterbase.
extern const std::vector<int> kHyperPrograms;

// What follows the program on its command line: " FULL_AUTO" for a ticked
// box only.
std::string LaunchArguments(CheckValue check);

// The areas to browse (Option1 0 to 2).
enum class Area { None = 0, DownLoads = 1, Results = 2 };

// The entries of Combo1 for an area.
std::vector<std::string> TypeChoices(Area area);

// The data folder's files for an area and a Combo1 entry, by name: a stats or
// key type's downloads (names ending in the type's suffix), or the comparison
// pages and reports (names matching "Comp_*.*"). Regular files only, in name
// order. Nothing for an unknown type or a missing folder.
std::vector<std::string> ListFiles(const std::filesystem::path& dataFolder, Area area, const std::string& choice);

// "YYYY/MM/DD HH:NN:SS | size": the file's local modification time and its
// length in bytes; "" when there is no such file.
std::string FileTooltip(const std::filesystem::path& path);

// The View menu's captions, entries 1 to 7: the program folder's copies by
// name, then the data folder's by path.
std::vector<std::string> ViewCaptions(const std::filesystem::path& dataFolder);

// One entry of the View menu. Each is named after what it opens, so that an
// entry added later moves neither the name nor the access key of those before
// it: entries 1 to 7 keep their numbers ("MnusView_3"), the others take their
// file's name ("MnusView_Parlux_conf", "MnusView_Trend_PGP-1_html").
enum class ViewOpens {
    Named,   // as the caption names it: a bare name in the program folder, a missing file said so
    Path,    // the path, as it is
    Config,  // Parlux.conf's path, first written with every key commented out when missing
};
struct ViewEntry {
    std::string objectName;
    std::string caption;  // the file opened; "-" for a separator
    ViewOpens opens;
};
// Entries 1 to 7, the data folder's Parlux.conf and, when the history is
// kept, a separator and the pages of the history's kinds.
std::vector<ViewEntry> ViewMenu(const std::filesystem::path& dataFolder, bool history,
                                const std::vector<history::HistoryPageKind>& kinds = history::HistoryPageKinds());
// For each view button 1 to 9, the View menu entry (1 to 7) whose caption is
// its tooltip.
inline constexpr std::array<int, 9> kViewButtonEntries = {1, 2, 3, 4, 5, 6, 7, 6, 7};

// The MyStats menu's captions, entries 1 to 12: the maintainer's own pages in
// the folder that holds the data folder, a separator, and the statistics
// plug-in's shortcut (entry 12).
std::vector<std::string> MyStatsCaptions(const std::filesystem::path& dataFolder);
inline constexpr int kMyStatsShortcutEntry = 12;

// The files cmd_TFR copies from the program folder to the data folder.
inline const std::vector<std::string> kCopiedFiles = {"PingersBad.lst", "Pingers.lst", "index.html"};

}  // namespace parlux::gridhub
