#include "common/core/Table.h"

#include <stdexcept>

namespace parlux {

void Table::reset() {
    columns_ = 0;
    rows_ = 0;
    cells_.clear();
}

void Table::create(int columns) {
    if (columns < 1) throw std::invalid_argument("Table::create: a table needs at least one column");
    columns_ = columns;
    rows_ = 1;
    cells_.assign(static_cast<std::size_t>(columns), Cell{});
}

void Table::growRow() {
    if (!loaded()) throw std::logic_error("Table::growRow: the table is not loaded");
    cells_.resize(cells_.size() + static_cast<std::size_t>(columns_));
    ++rows_;
}

int Table::addRow(int columns) {
    if (loaded())
        growRow();
    else
        create(columns);
    return upperRow();
}

std::vector<Cell> Table::copyRow(int row) const {
    const auto begin = cells_.begin() + static_cast<std::ptrdiff_t>(at(0, row));
    return std::vector<Cell>(begin, begin + columns_);
}

void Table::setRow(int row, std::vector<Cell> cells) {
    if (static_cast<int>(cells.size()) != columns_)
        throw std::invalid_argument("Table::setRow: the row has another number of columns");
    std::move(cells.begin(), cells.end(), cells_.begin() + static_cast<std::ptrdiff_t>(at(0, row)));
}

void Table::reorderRows(int first, const std::vector<int>& from) {
    // Follow each cycle of the permutation with one row in hand, so that no
    // second copy of the table is needed.
    const std::size_t width = static_cast<std::size_t>(columns_);
    const auto rowAt = [&](std::size_t position) {
        return cells_.begin() + static_cast<std::ptrdiff_t>(at(0, first + static_cast<int>(position)));
    };
    std::vector<char> placed(from.size(), 0);
    std::vector<Cell> hand(width);
    for (std::size_t start = 0; start < from.size(); ++start) {
        if (placed[start] || from[start] == first + static_cast<int>(start)) continue;
        std::move(rowAt(start), rowAt(start) + static_cast<std::ptrdiff_t>(width), hand.begin());
        std::size_t position = start;
        for (;;) {
            placed[position] = 1;
            const std::size_t source = static_cast<std::size_t>(from[position] - first);
            if (source == start) {
                std::move(hand.begin(), hand.end(), rowAt(position));
                break;
            }
            std::move(rowAt(source), rowAt(source) + static_cast<std::ptrdiff_t>(width), rowAt(position));
            position = source;
        }
    }
}

bool ArrayNotInitialized(const Table& table, MessageSink& messages) {
    if (table.loaded()) return false;
    messages.critical("9\r\nSubscript out of range\r\nArray not Initialized");
    return true;
}

}  // namespace parlux
