#include "common/core/TextReplace.h"

#include <algorithm>
#include <stdexcept>

namespace parlux {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// 0-based position of find in text at or after from; npos when absent.
// Mode kCompareText ignores the case of the ASCII letters.
std::size_t Search(std::string_view text, std::string_view find, std::size_t from, int compareMode) {
    if (from > text.size()) return std::string_view::npos;
    if (compareMode != kCompareText) return text.find(find, from);
    if (find.size() > text.size()) return std::string_view::npos;
    for (std::size_t p = from; p + find.size() <= text.size(); ++p) {
        std::size_t k = 0;
        while (k < find.size() && FoldAscii(text[p + k]) == FoldAscii(find[k])) ++k;
        if (k == find.size()) return p;
    }
    return std::string_view::npos;
}

void CheckStart(int start) {
    if (start < 1) throw std::invalid_argument("text replacement: the start position counts from 1");
}

}  // namespace

std::string ReplaceText(std::string_view text, std::string_view find, std::string_view replacement, int start,
                        int count, int compareMode) {
    (void)count;  // accepted and not used
    CheckStart(start);
    if (find.empty()) return std::string(text);

    const std::size_t first = static_cast<std::size_t>(start) - 1;  // 0-based start
    std::string result(text.substr(0, std::min(first, text.size())));
    std::size_t from = first;
    for (;;) {
        const std::size_t match = Search(text, find, from, compareMode);
        if (match == std::string_view::npos) {
            if (from < text.size()) result.append(text.substr(from));
            return result;
        }
        result.append(text.substr(from, match - from));
        result.append(replacement);
        from = match + find.size();
    }
}

std::string ReplaceTextCounted(std::string_view text, std::string_view find, std::string_view replacement, int& start,
                               int count, int compareMode) {
    CheckStart(start);
    if (find.empty()) return std::string(text);

    std::size_t match = Search(text, find, static_cast<std::size_t>(start) - 1, compareMode);
    if (match == std::string_view::npos) return std::string(text);

    std::string work(text);
    int replaced = 0;
    for (;;) {
        work.replace(match, find.size(), replacement);
        ++replaced;
        if (count != -1 && replaced >= count) break;
        // 1-based position right after the inserted replacement.
        start = static_cast<int>(match + replacement.size()) + 1;
        match = Search(work, find, static_cast<std::size_t>(start) - 1, compareMode);
        if (match == std::string_view::npos) break;
    }
    return work;
}

}  // namespace parlux
