#pragma once
// The comparers' tables: two-dimensional cells indexed (column, row), rows from
// 0, grown one row at a time keeping their rows. A reset table is the
// one-dimensional placeholder, which counts as not loaded.
#include <string>
#include <vector>

#include "DateTime.h"

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

    int columns() const { return columns_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int upperRow() const { return rowCount() - 1; }

    Cell& cell(int column, int row) { return rows_[row][column]; }
    const Cell& cell(int column, int row) const { return rows_[row][column]; }
    // The cell's text; "" for a never-written cell.
    const std::string& text(int column, int row) const { return rows_[row][column].text; }
    void setText(int column, int row, std::string value) { rows_[row][column] = Cell::FromText(std::move(value)); }
    void setDate(int column, int row, DateTime value) { rows_[row][column] = Cell::FromDate(value); }

    std::vector<Cell>& row(int r) { return rows_[r]; }
    const std::vector<Cell>& row(int r) const { return rows_[r]; }

    bool operator==(const Table&) const = default;

private:
    int columns_ = 0;
    std::vector<std::vector<Cell>> rows_;
};

}  // namespace parlux
