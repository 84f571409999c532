#include "Table.h"

#include <iterator>
#include <stdexcept>

namespace parlux {

void Table::reset() {
    columns_ = 0;
    rows_ = 0;
    cells_.clear();
}

void Table::create(int columns) {
    if (columns < 1)
        throw std::invalid_argument("Table::create: a table needs at least one column");
    columns_ = columns;
    rows_ = 1;
    cells_.assign(static_cast<std::size_t>(columns), Cell{});
}

void Table::growRow() {
    if (!loaded())
        throw std::logic_error("Table::growRow: the table is not loaded");
    cells_.resize(cells_.size() + static_cast<std::size_t>(columns_));
    ++rows_;
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
    std::vector<Cell> moved;
    moved.reserve(from.size() * static_cast<std::size_t>(columns_));
    for (int source : from) {
        const auto begin = cells_.begin() + static_cast<std::ptrdiff_t>(at(0, source));
        moved.insert(moved.end(), std::make_move_iterator(begin), std::make_move_iterator(begin + columns_));
    }
    std::move(moved.begin(), moved.end(), cells_.begin() + static_cast<std::ptrdiff_t>(at(0, first)));
}

}  // namespace parlux
