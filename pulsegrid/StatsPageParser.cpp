// LOA_Stats: the stats pages of one type read into StatsArray, and the
// pingers' "Last update" times into PingersArray.
#include "pulsegrid/StatsComparer.h"

#include <filesystem>
#include <unordered_set>

#include "common/core/QuickSort.h"
#include "common/core/SiteConfig.h"
#include "common/core/StampDate.h"
#include "common/core/StatsTypes.h"
#include "common/core/TextLines.h"
#include "workbench/GridSteps.h"
#include "workbench/PingerSteps.h"

namespace parlux {

bool StatsProcedures::AddStatsLine(const std::string& nick, std::string_view line) {
    std::string_view name = line.substr(0, 9);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (name == "nym" || name == "xgnym" || name == "bramble") return false;
    if (nick != currentNick_) {
        currentNick_ = nick;
        currentNames_.clear();
        // A nick met again (a pingers table restored by hand) brings its rows along.
        if (!nicksRead_.insert(nick).second)
            for (int r = 0; r < stats().rowCount(); ++r)
                if (stats().text(kStatsNick, r) == nick) currentNames_.insert(stats().text(kStatsName, r));
    }
    if (currentNames_.find(name) != currentNames_.end()) return false;
    currentNames_.emplace(name);
    const int row = stats().addRow(4);
    const std::size_t from = IsVersion2(type()) ? 13 : 9;
    stats().setText(kStatsNick, row, nick);
    stats().setText(kStatsName, row, std::string(name));
    stats().setText(kStatsText, row, std::string(from < line.size() ? line.substr(from) : std::string_view()));
    return true;
}

long StatsProcedures::readStatsTable(const std::string& nick, const std::string& progress,
                                     const std::vector<std::string_view>& lines, std::size_t first) {
    long fromThisPage = 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty() || line == "</PRE>") break;
        if (fromThisPage == kMostRemailersPerPage) {
            // A hostile page would make the grid as big as it likes.
            wb_.detail(progress + " lines after the " + std::to_string(kMostRemailersPerPage) + "th remailer not read");
            wb_.noteCut(nick + " " + type() + ": only the first " + std::to_string(kMostRemailersPerPage) +
                        " remailers read");
            break;
        }
        if (AddStatsLine(nick, line)) ++fromThisPage;
    }
    return fromThisPage;
}

long StatsProcedures::LOA_Stats() {
    if (wb_.notLoaded(kPingersTable)) return 0;
    stats().reset();
    currentNick_.reset();
    currentNames_.clear();
    nicksRead_.clear();
    long added = 0;
    for (int r = 0; r < pingers().rowCount(); ++r) {
        const std::string nick = pingers().text(kPingerNick, r);
        const std::string progress = "LOA_StatsArray " + nick + " " + type();
        wb_.detail(progress + " in Progress");
        const auto path = wb_.dataPath(StatsFileName(type(), nick));
        std::string failure;
        const auto content = ReadFileText(path, &failure);
        if (!content) {
            wb_.messages().critical(failure);
            continue;
        }
        const auto lines = SplitLineViews(*content);
        std::size_t i = 0;
        std::string stamp;
        bool found = false;
        for (; i < lines.size() && !found; ++i) {
            const std::string_view line = lines[i];
            if (line.starts_with("Last update: ")) {
                stamp = line.substr(13, 28);
                found = true;
            } else if (line.starts_with("Generated: ")) {
                stamp = line.substr(11, 28);
                found = true;
            }
        }
        if (found) {
            try {
                pingers().setText(kPingerUpdate, r, FormatStamp(ParseStampDate(stamp)));
            } catch (const StampDateError&) {
                wb_.detail(progress + " update time not understood: " + stamp);
            }
            if (i + 2 > lines.size()) {
                wb_.messages().critical(path.string() + " ends before its stats table");
            }
            added += readStatsTable(nick, progress, lines, i + 2);
        }
        wb_.detail(progress + " Succesful");
    }
    return added;
}

}  // namespace parlux
