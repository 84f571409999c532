// One pinger's stats page, as a hostile server may send it, through
// Pulsegrid's steps from LOA_Stats to the pages. The first byte picks the
// stats type; the rest is the page, read for two pingers so that the grid
// has two columns.
#include <cstdint>
#include <string>

#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "fuzz/FuzzSupport.h"
#include "pulsegrid/StatsComparer.h"
#include "pulsegrid/StatsPageWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    if (size == 0) return 0;
    fuzz::QuietWorld world;
    StatsWorkbench wb(world.env());
    wb.chooseType(data[0] % 4);
    const std::string type = wb.statsType();
    const char* nicks[] = {"fz", "zz"};
    Table& pingers = wb.table(kPingersTable);
    for (const char* nick : nicks) {
        fuzz::WriteScratch(StatsFileName(type, nick), data + 1, size - 1);
        const int row = pingers.addRow(kPingerColumnCount);
        pingers.setText(kPingerNick, row, nick);
        pingers.setText(kPingerUrl, row, std::string("http://127.0.0.1/") + nick);
    }

    StatsProcedures& steps = wb.procedures();
    steps.LOA_Stats();
    steps.LOA_Pingeds();
    steps.SRT_Pingeds();
    const long grid = steps.EXP_Stats();
    steps.REV_Stats();
    steps.SRT_Stats();
    const Table& pingeds = wb.table(kPingedsTable);
    const Table& stats = wb.table(kMainTable);
    if (!stats.loaded()) return 0;  // no stats line: nothing to line up
    fuzz::Require(grid == 2L * pingeds.rowCount(), "the grid size is not pingers × remailers");
    fuzz::Require(stats.rowCount() == grid, "the grid has not one row per pinger and remailer");

    const StatsPageInput in{pingers, pingeds, stats, type, "2026/12/07 11:30:05"};
    const std::string pages[] = {DirectTextPage(in), ReverseTextPage(in), DirectWebPage(in),
                                 type.back() == '2' ? ReverseCapsPage(in) : std::string()};
    fuzz::Require(!pages[0].empty() && !pages[1].empty() && !pages[2].empty(), "a page is empty");
    return 0;
}
