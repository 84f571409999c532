#include "pulsegrid/StatsComparer.h"
#include "pulsegrid/StatsPageWriter.h"

#include <filesystem>
#include <unordered_set>

#include "common/core/StatsTypes.h"
#include "common/core/GmtOffset.h"
#include "common/core/QuickSort.h"
#include "common/core/SiteConfig.h"
#include "common/core/StampDate.h"
#include "pulsegrid/workbench/GridSteps.h"
#include "pulsegrid/workbench/PingerSteps.h"
#include "pulsegrid/workbench/TextLines.h"

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
        {"REV_Stats", "Reverse Stats (Fills the column of data used by final Sort of StatsArray)", R::Count, -1,
         true, kMainTable},
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
    if (IsVersion2(type())) pages.push_back("Comp_RC_" + type() + ".txt");
    return pages;
}

// ---------------------------------------------------------------- pingers

long StatsProcedures::LOA_Pingers() { return LoadPingersStep(wb_, 3); }

long StatsProcedures::FIX_LfToCrLf() { return FixLineEndsStep(wb_); }

long StatsProcedures::SRT_Pingers() {
    QuickSort(pingers(), kPingerNick, 0, pingers().upperRow());
    return 0;
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
