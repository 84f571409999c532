// A Mix key list (type2.list or pubring.mix) as a pinger may serve it: the
// first byte picks the type, the rest is the file, read for two pingers
// through Lockgrid's steps from LOA_Keys to the page.
#include <cstdint>
#include <string>

#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "fuzz/FuzzSupport.h"
#include "lockgrid/KeysComparer.h"
#include "workbench/PingerSteps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    if (size == 0) return 0;
    fuzz::QuietWorld world;
    KeysWorkbench wb(world.env());
    wb.chooseType(2 + data[0] % 2);  // K-TY2 or K-MIX
    const std::string type = wb.statsType();
    fuzz::Require(type == "K-TY2" || type == "K-MIX", "the type chosen is not a Mix key type");
    Table& pingers = wb.table(kPingersTable);
    for (const char* nick : {"fz", "zz"}) {
        fuzz::WriteScratch(StatsFileName(type, nick), data + 1, size - 1);
        const int row = pingers.addRow(2);
        pingers.setText(kListNick, row, nick);
        pingers.setText(kListUrl, row, std::string("http://127.0.0.1/") + nick);
    }

    KeysProcedures& steps = wb.procedures();
    const long rows = steps.LOA_Keys();
    steps.LOA_Pingeds();
    steps.SRT_Pingeds();
    const long grid = steps.EXP_Keys();
    steps.REV_Keys();
    steps.SRT_Keys();
    if (rows == 0) return 0;
    const Table& pingeds = wb.table(kPingedsTable);
    const Table& keys = wb.table(kMainTable);
    fuzz::Require(rows % 2 == 0, "two pingers reading one file took different lines");
    fuzz::Require(grid == 2L * pingeds.rowCount() && keys.rowCount() == grid,
                  "the grid has not one row per pinger and remailer");
    fuzz::Require(!KeysPage(pingers, pingeds, keys, type, "2026/12/07 11:30:05").empty(), "the page is empty");
    return 0;
}
