// A downloaded remailer list, as a hostile server may send it, through
// Flaggrid's steps from LOA_CapStrings to the report, for two pingers.
#include <cstdint>
#include <string>

#include "flaggrid/CapStringsComparer.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    fuzz::QuietWorld world;
    CapStringsWorkbench wb(world.env());
    const auto page = fuzz::WriteScratch("fz_rlist2.shtml", data, size);
    Table& pingers = wb.table(kPingersTable);
    for (const char* nick : {"fz", "zz"}) {
        const int row = pingers.addRow(5);
        pingers.setText(kCapPingerType, row, "PGP-2");
        pingers.setText(kCapPingerNick, row, nick);
        pingers.setText(kCapPingerUrl, row, std::string("http://127.0.0.1/") + nick);
        pingers.setText(kCapPingerPath, row, page.string());
    }

    CapStringsProcedures& steps = wb.procedures();
    const long lines = steps.LOA_CapStrings();
    steps.LOA_Pingeds();
    steps.SRT_Pingeds();
    const long grid = steps.EXP_CapStrings();
    steps.REV_CapStrings();
    steps.SRT_CapStrings();
    const Table& pingeds = wb.table(kPingedsTable);
    const Table& caps = wb.table(kMainTable);
    if (lines == 0) return 0;
    fuzz::Require(lines % 2 == 0, "two pingers reading one page took different lines");
    fuzz::Require(grid == 2L * pingeds.rowCount() && caps.rowCount() == grid,
                  "the grid has not one row per pinger and remailer");
    const std::string report = CapStringsReport(pingers, pingeds, caps, "2026/12/07 11:30:05");
    fuzz::Require(!report.empty(), "the report is empty");
    return 0;
}
