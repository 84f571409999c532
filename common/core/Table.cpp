#include "Table.h"

#include <stdexcept>

namespace parlux {

void Table::reset() {
    columns_ = 0;
    rows_.clear();
}

void Table::create(int columns) {
    if (columns < 1)
        throw std::invalid_argument("Table::create: a table needs at least one column");
    columns_ = columns;
    rows_.assign(1, std::vector<Cell>(static_cast<std::size_t>(columns)));
}

void Table::growRow() {
    if (!loaded())
        throw std::logic_error("Table::growRow: the table is not loaded");
    rows_.emplace_back(static_cast<std::size_t>(columns_));
}

}  // namespace parlux
