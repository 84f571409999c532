#pragma once
// Fixed-width fields, of which every text page is built.
#include <string>
#include <string_view>

namespace parlux {

// The text followed by blanks, cut to width characters; width <= 0 gives "".
std::string PadField(std::string_view text, int width);

}  // namespace parlux
