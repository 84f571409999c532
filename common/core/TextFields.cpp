#include "common/core/TextFields.h"

namespace parlux {

std::string PadField(std::string_view text, int width) {
    if (width <= 0)
        return {};
    const auto w = static_cast<std::size_t>(width);
    std::string field(text.substr(0, w));
    field.resize(w, ' ');
    return field;
}

}  // namespace parlux
