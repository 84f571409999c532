#pragma once
// Calendar date-time values as the suite uses them: a civil date and time of day
// to the second, with no zone attached (local or GMT is the caller's knowledge).
#include <chrono>
#include <cstdint>
#include <string>

namespace parlux {

using DateTime = std::chrono::sys_seconds;

DateTime MakeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

struct DateTimeParts {
    int year, month, day, hour, minute, second;
};
DateTimeParts SplitDateTime(DateTime value);

// "YYYY/MM/DD HH:NN:SS", the form of page time stamps and update times.
std::string FormatStamp(DateTime value);

// "#yyyy-mm-dd hh:mm:ss#", or "#yyyy-mm-dd#" at midnight: the run log and the
// date cells of dump files.
std::string FormatLogDate(DateTime value);
// Reads back what FormatLogDate wrote (with or without the # marks).
// Returns false when the text is not such a date.
bool ParseLogDate(const std::string& text, DateTime& out);

}  // namespace parlux
