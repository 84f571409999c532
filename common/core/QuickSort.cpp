#include "common/core/QuickSort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace parlux {

namespace {

int CompareTexts(const std::string& a, const std::string& b) {
    // Character codes as unsigned bytes, a shorter text first when it is a prefix.
    const int c = std::string_view(a).compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A date's value as a number; a never-written cell counts as 0.
long long NumberOf(const Cell& cell) {
    return cell.kind == Cell::Kind::Date ? static_cast<long long>(cell.date.time_since_epoch().count()) : 0;
}

// True when the keys of first..last strictly increase (in the sort's
// direction) from row to row. On such a range every pass finds the pivot to
// be the largest key: the left scan stops at the pivot's own row, the right
// scan stops at once because j < i, nothing is exchanged, and the next range
// is one row shorter; the steps leave every row where it is. Sorting an
// ordered table so costs one look at each row instead of n * n / 2
// comparisons. The reasoning needs an ordering without loops, which the cell
// comparison lacks only when never-written cells sit beside both texts and
// dates, so such a range takes the full steps.
bool AlreadyInOrder(const Table& table, int keyColumn, int first, int last, int sign) {
    bool empty = false, text = false, date = false;
    for (int r = first; r <= last; ++r) {
        const Cell& cell = table.cell(keyColumn, r);
        empty = empty || cell.kind == Cell::Kind::Empty;
        text = text || cell.kind == Cell::Kind::Text;
        date = date || cell.kind == Cell::Kind::Date;
        if (r > first && sign * CompareCells(table.cell(keyColumn, r - 1), cell) >= 0) return false;
    }
    return !(empty && text && date);
}

}  // namespace

int CompareCells(const Cell& a, const Cell& b) {
    using Kind = Cell::Kind;
    const bool aText = a.kind == Kind::Text;
    const bool bText = b.kind == Kind::Text;
    if (aText || bText) {
        // A number (a date) is less than any text; a never-written cell is "".
        if (a.kind == Kind::Date) return -1;
        if (b.kind == Kind::Date) return 1;
        static const std::string kEmpty;
        return CompareTexts(aText ? a.text : kEmpty, bText ? b.text : kEmpty);
    }
    const long long x = NumberOf(a);
    const long long y = NumberOf(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The sort keeps the one shape that its ordering rule needs (the partition
// and its equal-key walk, then the two halves), so it stays one function.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void QuickSort(Table& table, int keyColumn, int first, int last, bool descending) {
    if (last <= first) return;
    if (!table.loaded() || keyColumn < 0 || keyColumn >= table.columns() || first < 0 || last > table.upperRow())
        throw std::out_of_range("QuickSort: subscript out of range");

    const int sign = descending ? -1 : 1;
    if (AlreadyInOrder(table, keyColumn, first, last, sign)) return;

    // The steps run on a list of the rows' keys and places; the rows
    // themselves move once, at the end. Position p of the list stands for row
    // first + p. A text key carries its first 16 characters along, so that
    // most comparisons are settled without reaching the cell.
    struct Key {
        std::uint64_t high, low;  // the first 16 characters, big-endian, zero-filled
        const Cell* cell;
        int from;
    };
    const int count = last - first + 1;
    std::vector<Key> keys(static_cast<std::size_t>(count));
    for (int p = 0; p < count; ++p) {
        const Cell& cell = table.cell(keyColumn, first + p);
        keys[p] = Key{0, 0, &cell, first + p};
        if (cell.kind == Cell::Kind::Text) {
            unsigned char head[16] = {};
            std::copy_n(cell.text.data(), std::min<std::size_t>(16, cell.text.size()), head);
            for (int b = 0; b < 8; ++b) {
                keys[p].high = keys[p].high << 8 | head[b];
                keys[p].low = keys[p].low << 8 | head[8 + b];
            }
        }
    }
    auto key = [&](int row) -> const Key& { return keys[row - first]; };
    auto exchange = [&](int a, int b) { std::swap(keys[a - first], keys[b - first]); };
    auto compare = [sign](const Key& a, const Key& b) {
        const Cell& x = *a.cell;
        const Cell& y = *b.cell;
        if (x.kind == Cell::Kind::Text && y.kind == Cell::Kind::Text) {
            // Zero-filled heads that differ order the texts as their characters do.
            if (a.high != b.high) return a.high < b.high ? -sign : sign;
            if (a.low != b.low) return a.low < b.low ? -sign : sign;
            return sign * CompareTexts(x.text, y.text);
        }
        return sign * CompareCells(x, y);
    };

    // Each pass partitions lo..hi around the key of row hi. The left part is
    // taken before the right one, as a recursive sort would; the two parts do
    // not overlap, so the order of work does not change the result.
    std::vector<std::pair<int, int>> ranges{{first, last}};
    while (!ranges.empty()) {
        const auto [lo, hi] = ranges.back();
        ranges.pop_back();
        if (hi <= lo) continue;

        const Key pivot = key(hi);
        int i = lo - 1;
        int j = hi;
        for (;;) {
            // Left scan: row hi holds the pivot and stops it.
            do {
                ++i;
            } while (compare(key(i), pivot) < 0);
            // Right scan: stops without comparing at j < i or at row 0.
            for (;;) {
                --j;
                if (j < i || j == 0) break;
                if (compare(key(j), pivot) <= 0) break;
            }
            if (j <= i) break;  // this exchange would be undone at once
            exchange(i, j);
        }
        if (i != hi) exchange(i, hi);

        if (i + 1 < hi) ranges.emplace_back(i + 1, hi);
        if (lo < j) ranges.emplace_back(lo, j);
    }

    std::vector<int> from(static_cast<std::size_t>(count));
    for (int p = 0; p < count; ++p) from[p] = keys[p].from;
    table.reorderRows(first, from);
}

}  // namespace parlux
