// The date stamp of a page's "Last update: " or "Generated: " line, or of a
// Last-modified header: any text. It is read or refused, never more.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/core/DateTime.h"
#include "common/core/StampDate.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parlux;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::string stamp = FormatStamp(ParseStampDate(text));
        // A year has four digits: "YYYY/MM/DD HH:NN:SS".
        fuzz::Require(stamp.size() == 19, "a stamp read is written in another width");
    } catch (const StampDateError&) {}
    return 0;
}
