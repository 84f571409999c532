#include "workbench/Grid.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/core/Sinks.h"
#include "common/core/Table.h"
#include "common/core/TextFields.h"

namespace parlux {

GridIndex::GridIndex(const Table& main, int nickColumn, int nameColumn) {
    if (!main.loaded()) return;
    for (int r = 0; r < main.rowCount(); ++r) insert(main.text(nickColumn, r), main.text(nameColumn, r), r);
}

int GridIndex::find(std::string_view nick, std::string_view name) const {
    const auto pinger = rows_.find(nick);
    if (pinger == rows_.end()) return -1;
    const auto cell = pinger->second.find(name);
    return cell == pinger->second.end() ? -1 : cell->second;
}

bool GridIndex::insert(std::string_view nick, std::string_view name, int row) {
    auto pinger = rows_.find(nick);
    if (pinger == rows_.end()) pinger = rows_.emplace(std::string(nick), Names{}).first;
    if (pinger->second.find(name) != pinger->second.end()) return false;
    pinger->second.emplace(std::string(name), row);
    return true;
}

int LoadDistinctNames(const Table& main, int nameColumn, Table& pingeds) {
    pingeds.reset();
    std::unordered_set<std::string_view> seen;
    for (int r = 0; r < main.rowCount(); ++r) {
        const std::string& name = main.text(nameColumn, r);
        if (!seen.insert(name).second) continue;
        pingeds.setText(0, pingeds.addRow(1), name);
    }
    return pingeds.loaded() ? pingeds.rowCount() : 0;
}

bool GridSizeAccepted(std::size_t pingers, std::size_t remailers, MessageSink& messages) {
    // Compared by division: the product itself may not fit.
    if (remailers == 0 || pingers <= kMaxGridCells / remailers) return true;
    messages.critical(std::to_string(pingers) + " pingers by " + std::to_string(remailers) +
                      " remailers make a grid larger than " + std::to_string(kMaxGridCells) +
                      " cells: it is not built");
    return false;
}

long ExpandGrid(Table& main, const Table& pingers, const Table& pingeds, const GridColumns& c, MessageSink& messages) {
    const int pingerCount = pingers.rowCount(), remailerCount = pingeds.rowCount();
    if (!GridSizeAccepted(static_cast<std::size_t>(pingerCount), static_cast<std::size_t>(remailerCount), messages))
        return 0;
    const std::size_t cells = static_cast<std::size_t>(pingerCount) * static_cast<std::size_t>(remailerCount);
    // Which pairs have a row: pingers and remailers by their first row, then a
    // mark per pair.
    std::unordered_map<std::string_view, int> pingerOf, remailerOf;
    for (int i = pingerCount - 1; i >= 0; --i) pingerOf[pingers.text(c.pingerNick, i)] = i;
    for (int j = remailerCount - 1; j >= 0; --j) remailerOf[pingeds.text(0, j)] = j;
    std::vector<char> present(cells, 0);
    const auto mark = [&](std::string_view nick, std::string_view name) {
        const auto i = pingerOf.find(nick);
        const auto j = remailerOf.find(name);
        if (i != pingerOf.end() && j != remailerOf.end())
            present[static_cast<std::size_t>(i->second) * static_cast<std::size_t>(remailerCount) +
                    static_cast<std::size_t>(j->second)] = 1;
    };
    for (int r = 0; r < main.rowCount(); ++r) mark(main.text(c.nick, r), main.text(c.name, r));
    // A nick or a name listed twice shares the mark of its first row, so a
    // pair added for it once is not added again.
    for (int i = 0; i < pingerCount; ++i) {
        const int pi = pingerOf[pingers.text(c.pingerNick, i)];
        for (int j = 0; j < remailerCount; ++j) {
            const int pj = remailerOf[pingeds.text(0, j)];
            char& has = present[static_cast<std::size_t>(pi) * static_cast<std::size_t>(remailerCount) +
                                static_cast<std::size_t>(pj)];
            if (has) continue;
            has = 1;
            const int row = main.addRow(c.columns);
            main.setText(c.nick, row, pingers.text(c.pingerNick, i));
            main.setText(c.name, row, pingeds.text(0, j));
        }
    }
    return static_cast<long>(cells);
}

int BuildSortKeys(Table& main, const GridColumns& c) {
    for (int r = 0; r < main.rowCount(); ++r)
        main.setText(c.key, r, PadField(main.text(c.name, r), 9) + PadField(main.text(c.nick, r), 9));
    return main.rowCount();
}

}  // namespace parlux
