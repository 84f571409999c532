#pragma once
// The grid steps shared by the comparers: distinct remailers, the expansion to
// one row per pinger and remailer, the sort keys, and finding a cell by its
// pinger and remailer. Indexed, so the cost grows near-linearly with the rows;
// the rows produced are those of the plain searches.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/core/Sinks.h"
#include "common/core/Table.h"

namespace parlux {

// Where the main table keeps what the grid needs.
struct GridColumns {
    int nick;        // pinger nick in the main table
    int name;        // remailer name in the main table
    int key;         // sort key in the main table
    int columns;     // columns of a new main-table row
    int pingerNick;  // pinger nick in the pingers table
};

// PingedsArray = the distinct names of the main table's name column, in order
// of first appearance. Returns the rows.
int LoadDistinctNames(const Table& main, int nameColumn, Table& pingeds);

// The most cells (pingers × remailers) a grid may have: far beyond any real
// network, and small enough that the grid and its pages fit in memory.
inline constexpr std::size_t kMaxGridCells = 100'000'000;

// True when pingers × remailers is within kMaxGridCells; otherwise shows a box
// naming both counts and returns false.
bool GridSizeAccepted(std::size_t pingers, std::size_t remailers, MessageSink& messages);

// Adds a row (nick, name) for every pinger × remailer pair that has none, pinger
// by pinger, remailer by remailer. Returns the grid size (pingers × remailers);
// a grid over kMaxGridCells is refused (box, nothing added, result 0).
long ExpandGrid(Table& main, const Table& pingers, const Table& pingeds, const GridColumns& columns,
                MessageSink& messages);

// key = remailer made 9 wide + nick made 9 wide, for every row. Returns the rows.
int BuildSortKeys(Table& main, const GridColumns& columns);

// (nick, name) -> first row of the main table holding that pair.
class GridIndex {
public:
    GridIndex() = default;
    GridIndex(const Table& main, int nickColumn, int nameColumn);
    // -1 when the pair has no row.
    int find(std::string_view nick, std::string_view name) const;
    // Adds the pair when it is new; returns false when it was there already.
    bool insert(std::string_view nick, std::string_view name, int row);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Names = std::unordered_map<std::string, int, Hash, std::equal_to<>>;
    // Pinger by pinger: the nicks are few, the names short.
    std::unordered_map<std::string, Names, Hash, std::equal_to<>> rows_;
};

}  // namespace parlux
