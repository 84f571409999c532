#include "StatsComparer.h"

#include <filesystem>
#include <unordered_set>

#include "core/Common.h"
#include "core/QuickSort.h"
#include "core/SiteConfig.h"
#include "core/StampDate.h"
#include "workbench/GridSteps.h"
#include "workbench/PingerSteps.h"
#include "workbench/TextLines.h"

namespace parlux {

const GridColumns StatsProcedures::kGrid{kStatsNick, kStatsName, kStatsKey, 4, kPingerNick};

WorkbenchDescription StatsProcedures::Describe() {
    WorkbenchDescription d;
    d.program = "Pulsegrid";
    d.caption = "Quill's Compare Stats";
    d.dumpLetter = 'S';
    d.tables = {TableDef{"Pingers", 3}, TableDef{"Pingeds", 1}, TableDef{"Stats", 4}};
    for (int i = 0; i < 4; ++i)
        d.types.push_back({std::string(kStatsTypes[i].code), std::string(kStatsTypes[i].caption)});
    d.choiceCaption = "Choose Stats";
    using R = ResultKind;
    d.actions = {
        {"LOA_Pingers", "Download Stats+Load PingersArray", R::Count, -1, true, kPingersTable, true},
        {"FIX_LfToCrLf", "Fixes the Downloaded File if necessary", R::None},
        {"SRT_Pingers", "Sorts PingersArray", R::None, kPingersTable, false},
        {"LOA_Stats", "Loads StatsArray", R::Count, -1, true, kMainTable},
        {"LOA_Pingeds", "Load PingedsArray", R::Count, -1, true, kPingedsTable},
        {"SRT_Pingeds", "Sort PingedsArray", R::None, kPingedsTable},
        {"EXP_Stats", "Expand StatsArray (Creates missing blank cells)", R::Count, -1, true, kMainTable},
        {"REV_Stats", "Reverse Stats (Fills the column of data used by final Sort of StatsArray)", R::Count, -1, true,
         kMainTable},
        {"SRT_Stats", "Sorts StatsArray", R::None, kMainTable},
        {"PRT_Compil", "Prints Compiled info to Disk", R::Bool},
    };
    d.superTooltip = "All Actions";
    d.resetTooltip = "Reinitializes Arrays + Counters + Erases Dumps if any";
    d.hyperTooltip = "All Stats";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO (+shell Flaggrid)";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View OutPutFile";
    d.followUpProgram = "Flaggrid";
    d.followUpTooltip = "Shell Flaggrid FULL_AUTO";
    return d;
}

const std::vector<long (StatsProcedures::*)()>& StatsProcedures::Steps() {
    static const std::vector<long (StatsProcedures::*)()> steps = {
        &StatsProcedures::LOA_Pingers, &StatsProcedures::FIX_LfToCrLf, &StatsProcedures::SRT_Pingers,
        &StatsProcedures::LOA_Stats,   &StatsProcedures::LOA_Pingeds,  &StatsProcedures::SRT_Pingeds,
        &StatsProcedures::EXP_Stats,   &StatsProcedures::REV_Stats,    &StatsProcedures::SRT_Stats,
        &StatsProcedures::PRT_Compil,
    };
    return steps;
}

std::vector<std::string> StatsProcedures::OutputPages() const {
    std::vector<std::string> pages = {"Comp_DS_" + type() + ".txt", "Comp_RS_" + type() + ".txt"};
    if (!type().empty() && type().back() == '2') pages.push_back("Comp_RC_" + type() + ".txt");
    return pages;
}

namespace {

bool IsVersion2(const std::string& type) { return !type.empty() && type.back() == '2'; }

}  // namespace

// ---------------------------------------------------------------- pingers

long StatsProcedures::LOA_Pingers() { return LoadPingersStep(wb_, 3); }

long StatsProcedures::FIX_LfToCrLf() { return FixLineEndsStep(wb_); }

long StatsProcedures::SRT_Pingers() {
    QuickSort(pingers(), kPingerNick, 0, pingers().upperRow());
    return 0;
}

// ---------------------------------------------------------------- stats

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
            for (i += 2; i < lines.size(); ++i) {
                const std::string_view line = lines[i];
                if (line.empty() || line == "</PRE>") break;
                if (AddStatsLine(nick, line)) ++added;
            }
        }
        wb_.detail(progress + " Succesful");
    }
    return added;
}

long StatsProcedures::LOA_Pingeds() { return LoadPingedsStep(wb_, kGrid); }
long StatsProcedures::SRT_Pingeds() { return SortPingedsStep(wb_); }
long StatsProcedures::EXP_Stats() { return ExpandStep(wb_, kGrid); }
long StatsProcedures::REV_Stats() { return SortKeysStep(wb_, kGrid); }
long StatsProcedures::SRT_Stats() { return SortMainStep(wb_, kGrid); }

// ---------------------------------------------------------------- pages

long StatsProcedures::PRT_Compil() {
    if (GridNotReady(wb_)) return 0;
    const StatsPageInput in{pingers(), pingeds(), stats(), type(), FormatStamp(GmtNow(wb_.clock()))};
    bool ok = WritePage(wb_, "Comp_DS_" + type() + ".txt", DirectTextPage(in));
    ok = WritePage(wb_, "Comp_RS_" + type() + ".txt", ReverseTextPage(in)) && ok;
    if (IsVersion2(type())) ok = WritePage(wb_, "Comp_RC_" + type() + ".txt", ReverseCapsPage(in)) && ok;
    ok = WritePage(wb_, "Comp_DS_" + type() + ".html", DirectWebPage(in)) && ok;
    return ok ? 1 : 0;
}

}  // namespace parlux
