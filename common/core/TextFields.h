#pragma once
// Fixed-width fields, of which every text page is built, and small text and
// number helpers.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

namespace parlux {

// The text followed by blanks, cut to width characters; width <= 0 gives "".
// A text that is valid UTF-8 counts and keeps whole characters; any other
// text counts bytes.
std::string PadField(std::string_view text, int width);

// The longest start of the text of at most width characters (as PadField
// counts them): its bytes and its characters.
struct WidthCut {
    std::size_t bytes = 0, characters = 0;
};
WidthCut CutToWidth(std::string_view text, std::size_t width);

// The text without the blanks (by default spaces and tabs) at either end.
std::string Trim(std::string_view text, std::string_view blanks = " \t");
// The same as a view into text.
std::string_view TrimView(std::string_view text, std::string_view blanks = " \t");

// The text between two double quotes, as command lines and list records
// carry it (nothing inside is escaped).
std::string Quoted(std::string_view text);

// A size or count as the 32-bit figure the steps report, capped at the largest one.
template <class Number>
constexpr std::int32_t ClampToInt32(Number value) {
    if (std::cmp_greater(value, std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (std::cmp_less(value, std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

}  // namespace parlux
