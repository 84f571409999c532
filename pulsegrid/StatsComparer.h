#pragma once
// Pulsegrid's procedures on the workbench: download the stats pages of one
// type, parse them, build the pinger × remailer grid and write the pages.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "pulsegrid/StatsColumns.h"
#include "workbench/Grid.h"
#include "workbench/Workbench.h"

namespace parlux {

// The remailers read from one stats page at most (real pages list some
// dozens); the lines after them are not read.
inline constexpr long kMostRemailersPerPage = 10000;

class StatsProcedures {
public:
    explicit StatsProcedures(WorkbenchCore& workbench) : wb_(workbench) {}

    static WorkbenchDescription Describe();
    // The actions in SUPER's order, each with the procedure behind its button.
    static const std::vector<ComparerAction<StatsProcedures>>& Actions();
    std::vector<std::string> OutputPages() const;
    // What the pages PRT_Compil has just written showed, for the history.
    RecordedRun PagesShown() const;

    long LOA_Pingers();
    long FIX_LfToCrLf();
    long SRT_Pingers();
    long LOA_Stats();
    long LOA_Pingeds();
    long SRT_Pingeds();
    long EXP_Stats();
    long REV_Stats();
    long SRT_Stats();
    long PRT_Compil();

    // One line of a stats table; true when a row was added.
    bool AddStatsLine(const std::string& nick, std::string_view line);
    // The stats lines of a page from lines[first] to the end of the table,
    // at most kMostRemailersPerPage remailers; the rows added.
    long readStatsTable(const std::string& nick, const std::string& progress,
                        const std::vector<std::string_view>& lines, std::size_t first);

    static const GridColumns kGrid;

private:
    Table& pingers() { return wb_.table(kPingersTable); }
    Table& pingeds() { return wb_.table(kPingedsTable); }
    Table& stats() { return wb_.table(kMainTable); }
    const std::string& type() const { return wb_.statsType(); }

    WorkbenchCore& wb_;
    // The remailers already in StatsArray for the pinger being read (one row
    // per pinger and remailer), and the pingers read so far.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;
    std::optional<std::string> currentNick_;
    TextSet currentNames_;
    TextSet nicksRead_;
    // The broken chains of the pages read, for the history.
    std::vector<BrokenChain> brokenChains_;
};

using StatsWorkbench = Workbench<StatsProcedures>;

}  // namespace parlux
