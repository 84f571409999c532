#include "Grid.h"

#include <unordered_set>

#include "core/Common.h"

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
        if (pingeds.loaded())
            pingeds.growRow();
        else
            pingeds.create(1);
        pingeds.setText(0, pingeds.upperRow(), name);
    }
    return pingeds.loaded() ? pingeds.rowCount() : 0;
}

int ExpandGrid(Table& main, const Table& pingers, const Table& pingeds, const GridColumns& c) {
    const int result = pingers.rowCount() * pingeds.rowCount();
    GridIndex index(main, c.nick, c.name);
    for (int i = 0; i < pingers.rowCount(); ++i) {
        const std::string& nick = pingers.text(c.pingerNick, i);
        for (int j = 0; j < pingeds.rowCount(); ++j) {
            const std::string& name = pingeds.text(0, j);
            if (index.find(nick, name) >= 0) continue;
            if (main.loaded())
                main.growRow();
            else
                main.create(c.columns);
            const int row = main.upperRow();
            main.setText(c.nick, row, nick);
            main.setText(c.name, row, name);
            index.insert(nick, name, row);
        }
    }
    return result;
}

int BuildSortKeys(Table& main, const GridColumns& c) {
    for (int r = 0; r < main.rowCount(); ++r)
        main.setText(c.key, r, PadField(main.text(c.name, r), 9) + PadField(main.text(c.nick, r), 9));
    return main.rowCount();
}

}  // namespace parlux
