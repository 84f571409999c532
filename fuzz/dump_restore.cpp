// A table dump edited by hand, or planted: the first byte gives the columns
// (1 to 8), the rest is the file. It is restored, saved and restored again.
// (Texts are saved without escaping, so a text holding a double quote does
// not come back the same: no round trip is required.)
#include <cstdint>
#include <string>

#include "common/core/DumpFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    if (size == 0) return 0;
    const int columns = 1 + data[0] % 8;
    const auto dump = fuzz::WriteScratch("DMP-S_StatsArray.tmp", data + 1, size - 1);
    Table table;
    const int rows = RestoreDump(table, columns, dump);
    fuzz::Require(rows == (table.loaded() ? table.rowCount() : 0), "the rows read are not the rows restored");
    if (!table.loaded()) return 0;
    fuzz::Require(table.columns() == columns, "the restored table has other columns");

    const auto first = fuzz::ScratchFolder() / "first.tmp";
    const auto second = fuzz::ScratchFolder() / "second.tmp";
    fuzz::Require(SaveDump(table, columns, first) == rows, "not every row was saved");
    Table again;
    RestoreDump(again, columns, first);
    SaveDump(again, columns, second);
    return 0;
}
