// The figures as the change lines and the trend page print them.
#include <cmath>
#include <cstdio>
#include <string>

#include "history/HistoryRun.h"

namespace parlux::history {

std::string FormatPercent(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", std::round(value * 100.0) / 100.0);
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

}  // namespace parlux::history
