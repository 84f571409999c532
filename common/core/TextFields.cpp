#include "common/core/TextFields.h"

#include <algorithm>

namespace parlux {

namespace {

// The length of the UTF-8 sequence starting at text[at], 0 when none is
// valid there (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    return length;
}

}  // namespace

WidthCut CutToWidth(std::string_view text, std::size_t width) {
    WidthCut cut;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            // Not UTF-8: a byte is a character.
            const std::size_t bytes = std::min(text.size(), width);
            return {bytes, bytes};
        }
        at += length;
        if (cut.characters < width) {
            cut.bytes = at;
            ++cut.characters;
        }
    }
    return cut;
}

std::string PadField(std::string_view text, int width) {
    if (width <= 0) return {};
    const auto w = static_cast<std::size_t>(width);
    const WidthCut cut = CutToWidth(text, w);
    std::string field(text.substr(0, cut.bytes));
    field.append(w - cut.characters, ' ');
    return field;
}

std::string Quoted(std::string_view text) {
    // Built by appending: a literal + std::string at -O3 draws a false
    // overlap warning (-Wrestrict) from GCC 12.
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

std::string_view TrimView(std::string_view text, std::string_view blanks) {
    // A plain walk: this trims half a million fields of a large grid.
    const auto blank = [&blanks](char c) { return blanks.find(c) != std::string_view::npos; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text, std::string_view blanks) { return std::string(TrimView(text, blanks)); }

}  // namespace parlux
