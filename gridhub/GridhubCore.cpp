#include "gridhub/GridhubCore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "common/core/SiteConfig.h"
#include "common/core/StatsTypes.h"
#include "common/core/SuitePrograms.h"

namespace parlux::gridhub {

namespace fs = std::filesystem;

namespace {

std::vector<LaunchEntry> BuildLaunchTable() {
    std::vector<LaunchEntry> table;
    for (const SuiteProgramInfo& info : kSuiteProgramInfo)
        if (!info.hubLabel.empty())
            table.push_back(
                {std::string(info.hubLabel), std::string(info.name) + ".exe", info.fullAuto ? kTicked : kGrey});
    return table;
}

std::vector<int> BuildHyperPrograms() {
    std::vector<int> hyper;
    int place = 0;
    for (const SuiteProgramInfo& info : kSuiteProgramInfo) {
        if (info.hubLabel.empty()) continue;
        if (info.hyper) hyper.push_back(place);
        ++place;
    }
    return hyper;
}

// "Trend_PGP-1.html" -> "MnusView_Trend_PGP-1_html"
std::string EntryName(std::string fileName) {
    std::replace(fileName.begin(), fileName.end(), '.', '_');
    return "MnusView_" + fileName;
}

}  // namespace

const std::vector<LaunchEntry> kLaunchTable = BuildLaunchTable();
const std::vector<int> kHyperPrograms = BuildHyperPrograms();

std::string LaunchArguments(CheckValue check) { return check == kTicked ? " FULL_AUTO" : ""; }

std::vector<std::string> TypeChoices(Area area) {
    switch (area) {
        case Area::DownLoads: {
            // The stats lists, then the key files, each network's together.
            std::vector<std::string> choices;
            for (const bool keys : {false, true})
                for (const std::string_view code : TypeCodesByNetwork(keys)) choices.emplace_back(code);
            return choices;
        }
        case Area::Results:
            return {"Results"};
        case Area::None:
            break;
    }
    return {};
}

namespace {

bool Matches(Area area, const std::string& choice, const std::string& name) {
    if (area == Area::Results) return name.starts_with("Comp_") && name.find('.', 5) != std::string::npos;
    // The type's file name for the nick "*": any name ending in its suffix.
    const std::string suffix = StatsFileName(choice, "");
    return !suffix.empty() && name.ends_with(suffix);
}

}  // namespace

std::vector<std::string> ListFiles(const fs::path& dataFolder, Area area, const std::string& choice) {
    std::vector<std::string> names;
    if (area == Area::None) return names;
    std::error_code ec;
    for (fs::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (!it->is_regular_file(kind)) continue;
        const std::string name = it->path().filename().string();
        if (Matches(area, choice, name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileTooltip(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
    std::tm local{};
    localtime_r(&info.st_mtime, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d | %jd", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<std::intmax_t>(info.st_size));
    return text;
}

std::vector<std::string> ViewCaptions(const fs::path& dataFolder) {
    return {"PingersBad.lst",
            "Pingers.lst",
            "index.html",
            (dataFolder / "PingersBad.lst").string(),
            (dataFolder / "Pingers.lst").string(),
            (dataFolder / "index.html").string(),
            (dataFolder / "Pingers.html").string()};
}

std::vector<ViewEntry> ViewMenu(const fs::path& dataFolder, bool history,
                                const std::vector<history::HistoryPageKind>& kinds) {
    std::vector<ViewEntry> menu;
    for (const std::string& caption : ViewCaptions(dataFolder))
        menu.push_back({"MnusView_" + std::to_string(menu.size() + 1), caption, ViewOpens::Named});
    const std::string conf(site::kConfigName);
    menu.push_back({EntryName(conf), (dataFolder / conf).string(), ViewOpens::Config});
    if (!history) return menu;
    menu.push_back({"MnusView_History", "-", ViewOpens::Path});
    for (const std::string& page : history::HistoryPageNames(kinds))
        menu.push_back({EntryName(page), (dataFolder / page).string(), ViewOpens::Path});
    return menu;
}

std::vector<std::string> MyStatsCaptions(const fs::path& dataFolder) {
    // The folder that holds the data folder ("Y:\" beside "Y:\Parlux").
    const fs::path y = dataFolder.lexically_normal().has_filename()
                           ? dataFolder.lexically_normal().parent_path()
                           : dataFolder.lexically_normal().parent_path().parent_path();
    std::vector<std::string> captions;
    for (const char* name : {"MyCypSta1.txt", "MyMixSta1.txt", "MyCypSta1.html", "MyMixSta1.html", "MyCypSta2.txt",
                             "MyMixSta2.txt", "MyCypSta2.html", "MyMixSta2.html", "MyRChain.txt", "MyRChain.html"})
        captions.push_back((y / name).string());
    captions.push_back("-");
    captions.push_back((y / "MyStatsPlugin.lnk").string());
    return captions;
}

}  // namespace parlux::gridhub
