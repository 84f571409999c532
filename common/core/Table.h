#pragma once
// The comparers' tables: two-dimensional cells indexed (column, row), rows from
// 0, grown one row at a time keeping their rows. A reset table is the
// one-dimensional placeholder, which counts as not loaded.
#include <string>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/Sinks.h"

namespace parlux {

struct Cell {
    enum class Kind : unsigned char { Empty, Text, Date };
    Kind kind = Kind::Empty;  // Empty: never written (distinct from "")
    std::string text;
    DateTime date{};

    static Cell FromText(std::string value) { return Cell{Kind::Text, std::move(value), {}}; }
    static Cell FromDate(DateTime value) { return Cell{Kind::Date, {}, value}; }
    bool operator==(const Cell&) const = default;
};

class Table {
public:
    // Loaded = has two dimensions.
    bool loaded() const { return columns_ > 0; }
    // Back to the not-loaded placeholder.
    void reset();
    // Dimension (0..columns-1, 0..0): one row of never-written cells.
    void create(int columns);
    // Add one row of never-written cells at the end, keeping the rows.
    void growRow();
    // A row more: the first row of a table of that many columns when it is
    // not loaded, else grown by one. Returns the new row's index.
    int addRow(int columns);

    int columns() const { return columns_; }
    int rowCount() const { return rows_; }
    int upperRow() const { return rows_ - 1; }

    Cell& cell(int column, int row) { return cells_[at(column, row)]; }
    const Cell& cell(int column, int row) const { return cells_[at(column, row)]; }
    // The cell's text; "" for a never-written cell.
    const std::string& text(int column, int row) const { return cells_[at(column, row)].text; }
    void setText(int column, int row, std::string value) { cells_[at(column, row)] = Cell::FromText(std::move(value)); }
    void setDate(int column, int row, DateTime value) { cells_[at(column, row)] = Cell::FromDate(value); }

    // A row as a buffer of its cells, and back.
    std::vector<Cell> copyRow(int row) const;
    void setRow(int row, std::vector<Cell> cells);
    // Rows first, first + 1, ... take the rows that stood at from[0], from[1], ...
    // (a permutation of first .. first + from.size() - 1).
    void reorderRows(int first, const std::vector<int>& from);

    bool operator==(const Table&) const = default;

private:
    std::size_t at(int column, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
    }

    int columns_ = 0;
    int rows_ = 0;
    std::vector<Cell> cells_;  // row by row
};

// Shows "9" CR LF "Subscript out of range" CR LF "Array not Initialized" and
// returns true when the table is not loaded; false (and no box) otherwise.
bool ArrayNotInitialized(const Table& table, MessageSink& messages);

}  // namespace parlux
