#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/core/QuickSort.h"

namespace parlux {
namespace {

// The sort written out as the suite has always run it: recursive, a one-row
// buffer per call, the exchange of step 5 undone in step 7. The library runs
// the same steps from an explicit stack; both must leave rows in one order.
void ReferenceSort(Table& t, int col, int lo, int hi, bool descending) {
    if (!(hi > lo)) return;
    std::vector<Cell> buffer;
    const Cell pivot = t.cell(col, hi);
    int i = lo - 1;
    int j = hi;
    for (;;) {
        do {
            i = i + 1;
        } while (descending ? CompareCells(t.cell(col, i), pivot) > 0 : CompareCells(t.cell(col, i), pivot) < 0);
        for (;;) {
            j = j - 1;
            if (j < i || j == 0) break;
            if (descending ? CompareCells(t.cell(col, j), pivot) >= 0 : CompareCells(t.cell(col, j), pivot) <= 0) break;
        }
        buffer = t.copyRow(i);
        t.setRow(i, t.copyRow(j));
        t.setRow(j, buffer);
        if (!(j > i)) break;
    }
    t.setRow(j, t.copyRow(i));
    t.setRow(i, t.copyRow(hi));
    t.setRow(hi, buffer);
    ReferenceSort(t, col, lo, j, descending);
    ReferenceSort(t, col, i + 1, hi, descending);
}

// A table with column 0 = key, column 1 = row id, from the given keys.
Table KeyTable(const std::vector<Cell>& keys) {
    Table t;
    for (std::size_t r = 0; r < keys.size(); ++r) {
        if (r == 0)
            t.create(2);
        else
            t.growRow();
        t.cell(0, static_cast<int>(r)) = keys[r];
        t.setText(1, static_cast<int>(r), std::to_string(r));
    }
    return t;
}

Table TextKeys(const std::vector<std::string>& keys) {
    std::vector<Cell> cells;
    cells.reserve(keys.size());
    for (const auto& k : keys) cells.push_back(Cell::FromText(k));
    return KeyTable(cells);
}

std::vector<std::string> Column(const Table& t, int col) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(t.rowCount()));
    for (int r = 0; r < t.rowCount(); ++r) out.push_back(t.text(col, r));
    return out;
}

TEST(QuickSortCompare, CellOrder) {
    const Cell empty;
    const Cell a = Cell::FromText("a");
    const Cell upperA = Cell::FromText("A");
    const Cell ten = Cell::FromText("10");
    const Cell nine = Cell::FromText("9");
    const Cell accented = Cell::FromText("\xC3\xA9");  // e acute in UTF-8: bytes above 0x7F
    const Cell early = Cell::FromDate(MakeDateTime(2003, 4, 12));
    const Cell late = Cell::FromDate(MakeDateTime(2003, 4, 12, 0, 0, 1));

    EXPECT_LT(CompareCells(upperA, a), 0);                      // by character code
    EXPECT_LT(CompareCells(ten, nine), 0);                      // texts, not numbers
    EXPECT_LT(CompareCells(Cell::FromText("z"), accented), 0);  // unsigned bytes
    EXPECT_LT(CompareCells(Cell::FromText("ab"), Cell::FromText("abc")), 0);
    EXPECT_EQ(CompareCells(a, Cell::FromText("a")), 0);
    EXPECT_LT(CompareCells(early, late), 0);  // dates as numbers
    EXPECT_GT(CompareCells(late, early), 0);
    EXPECT_LT(CompareCells(late, Cell::FromText("")), 0);  // a number is below any text
    EXPECT_GT(CompareCells(Cell::FromText(""), early), 0);
    EXPECT_EQ(CompareCells(empty, Cell::FromText("")), 0);  // never-written is "" against a text
    EXPECT_LT(CompareCells(empty, a), 0);
    EXPECT_LT(CompareCells(empty, early), 0);  // and 0 against a number
    EXPECT_EQ(CompareCells(empty, Cell::FromDate(DateTime{})), 0);
    EXPECT_EQ(CompareCells(empty, empty), 0);
}

TEST(QuickSortRows, OrderOfTextKeys) {
    Table t = TextKeys({"b", "A", "a", "10", "9"});
    QuickSort(t, 0, 0, t.upperRow());
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"10", "9", "A", "a", "b"}));

    Table d = TextKeys({"b", "A", "a", "10", "9"});
    QuickSort(d, 0, 0, d.upperRow(), true);
    EXPECT_EQ(Column(d, 0), (std::vector<std::string>{"b", "a", "A", "9", "10"}));
}

TEST(QuickSortRows, RowsMoveWhole) {
    Table t;
    t.create(4);
    t.growRow();
    t.growRow();
    const int keys[] = {3, 1, 2};
    for (int r = 0; r < 3; ++r) {
        const std::string k = std::to_string(keys[r]);
        t.setText(0, r, "nick" + k);
        t.setText(1, r, "remailer" + k);
        t.setDate(2, r, MakeDateTime(2003, 4, 10 + keys[r]));
        t.setText(3, r, k);
    }
    QuickSort(t, 3, 0, 2);
    for (int r = 0; r < 3; ++r) {
        const std::string k = std::to_string(r + 1);
        EXPECT_EQ(t.text(3, r), k);
        EXPECT_EQ(t.text(0, r), "nick" + k);
        EXPECT_EQ(t.text(1, r), "remailer" + k);
        EXPECT_EQ(t.cell(2, r).date, MakeDateTime(2003, 4, 10 + r + 1));
    }
}

TEST(QuickSortRows, TrivialRangesAndEqualKeys) {
    Table t = TextKeys({"c", "a", "b"});
    const Table before = t;
    QuickSort(t, 0, 1, 1);  // one row
    EXPECT_EQ(t, before);
    QuickSort(t, 0, 2, 1);  // first after last
    EXPECT_EQ(t, before);
    QuickSort(t, 0, 1, 2);  // a part only: row 0 stays
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"c", "a", "b"}));
    QuickSort(t, 0, 0, 1);
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"a", "c", "b"}));

    // All keys equal: rows are exchanged, none is lost or doubled.
    Table same = TextKeys(std::vector<std::string>(9, "k"));
    QuickSort(same, 0, 0, same.upperRow());
    std::vector<std::string> ids = Column(same, 1);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_NE(Column(same, 1), Column(TextKeys(std::vector<std::string>(9, "k")), 1));
}

TEST(QuickSortRows, PivotSmallestFromRowZero) {
    // Every row but the last is above the pivot: the right scan runs down to
    // row 0, stops there without comparing, and the pivot row lands at row 0.
    Table t = TextKeys({"d", "c", "e", "b", "a"});
    QuickSort(t, 0, 0, t.upperRow());
    EXPECT_EQ(Column(t, 0), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(t.text(1, 0), "4");

    Table ref = TextKeys({"d", "c", "e", "b", "a"});
    ReferenceSort(ref, 0, 0, ref.upperRow(), false);
    EXPECT_EQ(t, ref);
}

TEST(QuickSortRows, BadArgumentsThrow) {
    Table t = TextKeys({"b", "a"});
    EXPECT_THROW(QuickSort(t, 2, 0, 1), std::out_of_range);
    EXPECT_THROW(QuickSort(t, 0, 0, 2), std::out_of_range);
    Table none;
    EXPECT_THROW(QuickSort(none, 0, 0, 1), std::out_of_range);
}

TEST(QuickSortRows, SameOrderAsRecursiveSteps) {
    std::mt19937 rng(20030412);
    const std::vector<std::string> alphabet{"a", "b", "B", "ab", "", "9", "10"};
    for (int round = 0; round < 150; ++round) {
        const int rows = std::uniform_int_distribution<int>(1, round < 140 ? 300 : 2000)(rng);
        const bool mixedKinds = round % 3 == 0;
        std::vector<Cell> keys;
        for (int r = 0; r < rows; ++r) {
            const int pick = std::uniform_int_distribution<int>(0, mixedKinds ? 9 : 6)(rng);
            if (pick < 7)
                keys.push_back(Cell::FromText(alphabet[static_cast<std::size_t>(pick)]));
            else if (pick == 7)
                keys.push_back(Cell{});
            else
                keys.push_back(Cell::FromDate(MakeDateTime(2003, 4, 12, pick)));
        }
        Table mine = KeyTable(keys);
        Table ref = mine;
        int first = 0;
        int last = rows - 1;
        if (round % 4 == 1 && rows > 2) {  // a part of the table only
            first = std::uniform_int_distribution<int>(1, rows - 1)(rng);
            last = std::uniform_int_distribution<int>(first, rows - 1)(rng);
        }
        const bool descending = round % 5 == 2;
        QuickSort(mine, 0, first, last, descending);
        ReferenceSort(ref, 0, first, last, descending);
        ASSERT_EQ(Column(mine, 1), Column(ref, 1)) << "round " << round << ", rows " << rows;

        // And the range is in order.
        for (int r = first; r < last; ++r) {
            const int c = CompareCells(mine.cell(0, r), mine.cell(0, r + 1));
            ASSERT_TRUE(descending ? c >= 0 : c <= 0) << "round " << round << ", row " << r;
        }
    }
}

// The keys of one round of SameOrderAsRecursiveStepsOnOrderedInput: in order
// (ascending or descending), each key twice, or one key moved; round 1 also
// dates and a never-written cell.
std::vector<Cell> OrderedKeys(int round, int rows, bool descending) {
    std::vector<Cell> keys;
    for (int r = 0; r < rows; ++r) {
        char key[16];
        const int value = descending ? rows - r : r;
        switch (round % 6) {
            case 0:
            case 1:  // strictly in order
                std::snprintf(key, sizeof key, "%06d", value);
                break;
            case 2:
            case 3:  // in order, each key twice
                std::snprintf(key, sizeof key, "%06d", value / 2);
                break;
            default:  // in order but one key moved
                std::snprintf(key, sizeof key, "%06d", r == rows / 2 ? 0 : value);
                break;
        }
        keys.push_back(Cell::FromText(key));
    }
    if (round % 6 == 1)  // dates and never-written cells, in order
        for (int r = 0; r < rows; ++r)
            keys[static_cast<std::size_t>(r)] =
                r == (descending ? rows - 1 : 0)
                    ? Cell{}
                    : Cell::FromDate(MakeDateTime(2003, 1, 1, 0, 0, descending ? rows - r : r));
    return keys;
}

TEST(QuickSortRows, SameOrderAsRecursiveStepsOnOrderedInput) {
    // Inputs in order or nearly so: the deep cases of the recursive steps.
    std::mt19937 rng(1103);
    for (int round = 0; round < 12; ++round) {
        const int rows = round < 6 ? 40 : 2000;
        const bool descending = round % 2 == 1;
        std::vector<Cell> keys = OrderedKeys(round, rows, descending);
        std::shuffle(keys.begin(), keys.begin() + (round == 11 ? 3 : 0), rng);
        Table mine = KeyTable(keys);
        Table ref = mine;
        QuickSort(mine, 0, 0, rows - 1, descending);
        ReferenceSort(ref, 0, 0, rows - 1, descending);
        ASSERT_EQ(Column(mine, 1), Column(ref, 1)) << "round " << round;
    }

    // Each key below the next, yet the steps move rows: a never-written cell
    // is 0 against a date and "" against a text, so it ties with the last
    // key here. Such a mix must not be taken for a range already in order.
    const std::vector<Cell> loop{Cell{}, Cell::FromDate(MakeDateTime(1970, 1, 1, 0, 0, 1)), Cell::FromText("")};
    Table mine = KeyTable(loop);
    Table ref = mine;
    QuickSort(mine, 0, 0, 2);
    ReferenceSort(ref, 0, 0, 2, false);
    EXPECT_EQ(Column(mine, 1), (std::vector<std::string>{"1", "2", "0"}));
    EXPECT_EQ(Column(mine, 1), Column(ref, 1));
}

struct SortJob {
    Table* table;
    bool done = false;
};

void* RunSortJob(void* arg) {
    auto* job = static_cast<SortJob*>(arg);
    QuickSort(*job->table, 0, 0, job->table->upperRow());
    job->done = true;
    return nullptr;
}

TEST(QuickSortRows, DeepRangesNeedNoCallStack) {
    // In order with every key twice: each pass splits off one or two rows,
    // so a recursive sort would nest about 6000 calls deep. Run on a thread
    // with a 64 KiB stack, which that nesting would overflow.
    constexpr int kRows = 6000;
    std::vector<Cell> keys;
    for (int r = 0; r < kRows; ++r) {
        char key[16];
        std::snprintf(key, sizeof key, "%06d", r / 2);
        keys.push_back(Cell::FromText(key));
    }
    Table t = KeyTable(keys);
    SortJob job{&t};
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, RunSortJob, &job), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
    ASSERT_TRUE(job.done);
    for (int r = 0; r + 1 < kRows; ++r) ASSERT_LE(CompareCells(t.cell(0, r), t.cell(0, r + 1)), 0) << r;
}

TEST(QuickSortRows, SortedHundredThousandRowsDoNotExhaustTheStack) {
    // Already in order: a recursive sort would nest once per row.
    constexpr int kRows = 100000;
    Table t;
    t.create(2);
    for (int r = 0; r < kRows; ++r) {
        if (r > 0) t.growRow();
        char key[16];
        std::snprintf(key, sizeof key, "%07d", r);
        t.setText(0, r, key);
    }
    t.setText(1, 0, "first");
    QuickSort(t, 0, 0, t.upperRow());
    ASSERT_EQ(t.rowCount(), kRows);
    EXPECT_EQ(t.text(1, 0), "first");
    for (int r = 0; r + 1 < kRows; ++r) ASSERT_LT(CompareCells(t.cell(0, r), t.cell(0, r + 1)), 0) << r;

    // In descending order, sorted descending.
    Table d;
    d.create(1);
    for (int r = 0; r < kRows; ++r) {
        if (r > 0) d.growRow();
        d.setDate(0, r, MakeDateTime(2003, 1, 1, 0, 0, kRows - r));
    }
    const Table before = d;
    QuickSort(d, 0, 0, d.upperRow(), true);
    EXPECT_EQ(d, before);
}

}  // namespace
}  // namespace parlux
