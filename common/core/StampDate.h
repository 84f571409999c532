#pragma once
#include <stdexcept>
#include <string_view>

#include "common/core/DateTime.h"

namespace parlux {

class StampDateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Sat 12 Apr 2003 13:45:02 GMT", "Sat, 12 Apr 2003 13:45:02 GMT",
// "Sat 12 Apr 103 08:45:02 EST" (EST: minus 5 hours). Throws StampDateError
// when the text cannot be read (also for an unknown month name).
DateTime ParseStampDate(std::string_view text);

}  // namespace parlux
