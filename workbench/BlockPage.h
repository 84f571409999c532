#pragma once
// The reverse pages made of one block per pinged item (Lockgrid's keys pages,
// Flaggrid's capability-strings page): a title line, an empty line, then for
// every pinged item a header, a rule and one line per pinger with the address
// and the detail that pinger publishes for it, and an empty line.
#include <string>

#include "common/core/Table.h"
#include "workbench/Grid.h"

namespace parlux {

// Which main-table columns a pinger's line shows, and how wide.
struct BlockFields {
    int address;  // shown as "<address>", made addressWidth wide
    int detail;   // made detailWidth wide, after a "-"
    int addressWidth;
    int detailWidth;
};

// The whole page, CR LF line ends. Cells are found by (pinger, pinged item),
// so two names that agree in their first 9 characters keep their own blocks.
std::string BlockPage(const std::string& title, const Table& pingers, const Table& pingeds, const Table& main,
                      const GridColumns& grid, const BlockFields& fields);

}  // namespace parlux
