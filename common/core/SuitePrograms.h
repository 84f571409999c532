#pragma once
// The suite's programs, as common/core/SuitePrograms.def lists them, and what
// the rest of the suite reads from that list: the Apps menus' entries and
// Gridhub's launch table.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parlux {

// What a program is, as the list's traits say.
enum SuiteProgramTrait : unsigned {
    kWindow = 1,          // a window that waits for a user
    kFullAuto = 2,        // the command line FULL_AUTO runs it unattended
    kDataFolder = 4,      // works on the data folder and reads Parlux.conf there
    kDataFolderLock = 8,  // holds the data folder's lock for its life
    kWaits = 16,          // starts others unattended, and waits for them with --wait FULL_AUTO
    kHyper = 32,          // Gridhub's HYPER starts it, in the list's order
};

struct SuiteProgramInfo {
    std::string_view name;
    std::string_view summary;  // one line: what it does
    bool window;
    bool fullAuto;
    bool dataFolder;
    bool dataFolderLock;
    bool waits;
    bool hyper;
    int appsEntry;              // its entry of the Apps menus (MnusApps_<n>), -1 for none
    std::string_view hubLabel;  // its line in Gridhub's launch table, "" for none
    int manSection;
};

// The menu entry's texts are for the installation only (CMake reads them).
#define PARLUX_PROGRAM(name, traits, summary, appsEntry, hubLabel, generic, comment, categories, manSection) \
    SuiteProgramInfo{name,                                                                                   \
                     summary,                                                                                \
                     ((traits)&kWindow) != 0,                                                                \
                     ((traits)&kFullAuto) != 0,                                                              \
                     ((traits)&kDataFolder) != 0,                                                            \
                     ((traits)&kDataFolderLock) != 0,                                                        \
                     ((traits)&kWaits) != 0,                                                                 \
                     ((traits)&kHyper) != 0,                                                                 \
                     appsEntry,                                                                              \
                     hubLabel,                                                                               \
                     manSection},
inline constexpr auto kSuiteProgramInfo = std::to_array<SuiteProgramInfo>({
#include "common/core/SuitePrograms.def"
});
#undef PARLUX_PROGRAM

// The entry of a program by name; nullptr for a name not of the suite.
const SuiteProgramInfo* FindSuiteProgramInfo(std::string_view name);

// The Apps menus' captions in entry order: the program files ("Gridhub.exe"),
// "-" for a separator.
std::vector<std::string> AppsMenuCaptions();

}  // namespace parlux
