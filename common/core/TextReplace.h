#pragma once
#include <string>
#include <string_view>

namespace parlux {

enum CompareMode { kCompareBinary = 0, kCompareText = 1 };

// Replaces every occurrence of find from position start (1-based) on; the
// characters before start are kept. count is accepted and not used.
// An empty find returns the text unchanged.
std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement, int start = 1,
                        int count = -1, int compareMode = kCompareBinary);

// The counted variant: count -1 = no limit, 0 still replaces once; start is
// written back (position after the last replacement). Empty find: unchanged.
std::string ReplaceTextCounted(std::string_view text, std::string_view find, std::string_view replacement, int& start,
                               int count = -1, int compareMode = kCompareBinary);

}  // namespace parlux
