#include "pulsegrid/StatsComparer.h"

#include <cmath>
#include <string_view>
#include <unordered_map>

#include "common/core/DateTime.h"
#include "common/core/GmtOffset.h"
#include "common/core/QuickSort.h"
#include "common/core/StatsTypes.h"
#include "pulsegrid/StatsFigures.h"
#include "pulsegrid/StatsPageWriter.h"
#include "workbench/GridSteps.h"
#include "workbench/PingerSteps.h"
#include "workbench/SharedActions.h"

namespace parlux {

const GridColumns StatsProcedures::kGrid{kStatsNick, kStatsName, kStatsKey, kStatsColumnCount, kPingerNick};

WorkbenchDescription StatsProcedures::Describe() {
    WorkbenchDescription d;
    d.program = "Pulsegrid";
    d.caption = "Quill's Compare Stats";
    d.dumpLetter = 'S';
    d.tables = {TableDef{"Pingers", kPingerColumnCount}, TableDef{"Pingeds", 1}, TableDef{"Stats", kStatsColumnCount}};
    for (int i = 0; i < 4; ++i)
        d.types.push_back({std::string(kStatsTypes[i].code), std::string(kStatsTypes[i].caption)});
    d.choiceCaption = "Choose Stats";
    shared_actions::SetCommonTooltips(d);
    d.hyperTooltip = "All Stats";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO (+shell Flaggrid)";
    d.followUpProgram = "Flaggrid";
    d.followUpTooltip = "Shell Flaggrid FULL_AUTO";
    return d;
}

const std::vector<ComparerAction<StatsProcedures>>& StatsProcedures::Actions() {
    using P = StatsProcedures;
    namespace a = shared_actions;
    // One action a line, in SUPER's order.
    // clang-format off
    static const std::vector<ComparerAction<P>> actions = {
        {&P::LOA_Pingers, a::LoadPingers("Stats")},
        {&P::FIX_LfToCrLf, a::FixLfToCrLf()},
        {&P::SRT_Pingers, a::SortPingers()},
        {&P::LOA_Stats, a::LoadMain("Stats")},
        {&P::LOA_Pingeds, a::LoadPingeds()},
        {&P::SRT_Pingeds, a::SortPingeds()},
        {&P::EXP_Stats, a::ExpandMain("Stats")},
        {&P::REV_Stats, a::ReverseMain("Stats")},
        {&P::SRT_Stats, a::SortMain("Stats")},
        {&P::PRT_Compil, a::PrintCompil()},
    };
    // clang-format on
    return actions;
}

std::vector<std::string> StatsProcedures::OutputPages() const {
    std::vector<std::string> pages = {"Comp_DS_" + type() + ".txt", "Comp_RS_" + type() + ".txt"};
    if (IsVersion2(type())) pages.push_back("Comp_RC_" + type() + ".txt");
    return pages;
}

// ---------------------------------------------------------------- pingers

long StatsProcedures::LOA_Pingers() { return LoadPingersStep(wb_, kPingerColumnCount); }

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

RecordedRun StatsProcedures::PagesShown() const {
    RecordedRun run = RunHeader(wb_, type());
    run.pingers = DownloadedPingers(wb_, type());
    // Each pinger's update time, as the comparison page prints it in its column.
    for (int r = 0; r < wb_.count(kPingersTable); ++r)
        for (PingerSeen& seen : run.pingers)
            if (seen.nick == wb_.table(kPingersTable).text(kPingerNick, r))
                seen.updated = wb_.table(kPingersTable).text(kPingerUpdate, r);
    run.brokenChains = brokenChains_;
    const Table& stats = wb_.table(kMainTable);
    const bool v1 = IsVersion1(type());
    // A large grid is half a million figures: each a few numbers, the names
    // kept once.
    std::unordered_map<std::string_view, std::uint32_t> places;
    const auto place = [&](const std::string& name) {
        const auto [it, added] = places.emplace(name, static_cast<std::uint32_t>(run.statsNames.size()));
        if (added) run.statsNames.push_back(name);
        return it->second;
    };
    // The rows come in the order of one of the names: it is looked up once for its stretch of rows.
    struct LastName {
        const std::string* name = nullptr;
        std::uint32_t place = 0;
    } lastNick, lastRemailer;
    const auto placeOf = [&](const std::string& name, LastName& last) {
        if (!last.name || *last.name != name) last = {&name, place(name)};
        return last.place;
    };
    run.statsFigures.reserve(static_cast<std::size_t>(wb_.count(kMainTable)));
    for (int r = 0; r < wb_.count(kMainTable); ++r) {
        const std::string& text = stats.text(kStatsText, r);
        if (text.empty()) continue;  // a pair the pinger did not report
        StatsFigure& f = run.statsFigures.emplace_back();
        f.pinger = placeOf(stats.text(kStatsNick, r), lastNick);
        f.remailer = placeOf(stats.text(kStatsName, r), lastRemailer);
        if (const auto latency = ParseLatency(text, v1)) f.latency = static_cast<std::int32_t>(*latency);
        if (const auto uptime = ParseUptime(text, v1))
            f.hundredths = static_cast<std::int32_t>(std::lround(*uptime * 100.0));
    }
    return run;
}

}  // namespace parlux
