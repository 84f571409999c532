#pragma once
#include "common/core/Table.h"

namespace parlux {

// <0, 0, >0. Texts by character code; dates as numbers, numbers before texts;
// a never-written cell is "" against a text and 0 against a number.
int CompareCells(const Cell& a, const Cell& b);

// Sorts rows first..last of the table on keyColumn, in place, with the exact
// steps of the suite's quicksort (pivot = last row of the range), so that rows
// with equal keys end in the same order as always. Runs with an explicit stack
// of ranges instead of recursion; the result is the same.
void QuickSort(Table& table, int keyColumn, int first, int last, bool descending = false);

}  // namespace parlux
