#include "common/core/StampDate.h"

#include <array>
#include <string>

namespace parlux {

namespace {

constexpr std::array<std::string_view, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

[[noreturn]] void Reject(std::string_view text, const char* why) {
    throw StampDateError("cannot read the date stamp \"" + std::string(text) + "\": " + why);
}

// A whole number of decimal digits (leading zeros allowed); -1 when the word
// is empty, holds anything else, or is too large to be a day or a year.
int WholeNumber(std::string_view word) {
    if (word.empty() || word.size() > 9) return -1;
    int value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "HH:MM:SS" or "H:MM:SS" in seconds; -1 when it is not a time of day.
int TimeOfDay(std::string_view word) {
    const std::size_t firstColon = word.find(':');
    if (firstColon == std::string_view::npos || firstColon < 1 || firstColon > 2) return -1;
    if (word.size() != firstColon + 6 || word[firstColon + 3] != ':') return -1;
    const int h = WholeNumber(word.substr(0, firstColon));
    const int m = WholeNumber(word.substr(firstColon + 1, 2));
    const int s = WholeNumber(word.substr(firstColon + 4, 2));
    if (h < 0 || m < 0 || s < 0 || h > 23 || m > 59 || s > 59) return -1;
    return (h * 60 + m) * 60 + s;
}

}  // namespace

DateTime ParseStampDate(std::string_view text) {
    // The words between the first five blanks: weekday, day, month, year, time.
    std::array<std::string_view, 5> words;
    std::size_t from = 0;
    for (std::size_t w = 0; w < words.size(); ++w) {
        const std::size_t blank = text.find(' ', from);
        if (blank == std::string_view::npos) Reject(text, "fewer than five blanks");
        words[w] = text.substr(from, blank - from);
        from = blank + 1;
    }

    const int dayNumber = WholeNumber(words[1]);
    if (dayNumber < 0) Reject(text, "the day is not a number");

    int monthNumber = 13;
    for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
        if (words[2] == kMonthNames[m]) {
            monthNumber = static_cast<int>(m) + 1;
            break;
        }
    }
    if (monthNumber == 13) Reject(text, "unknown month name");

    int yearNumber = WholeNumber(words[3]);
    if (yearNumber < 0) Reject(text, "the year is not a number");
    // Years since 1900 ("103" for 2003) are the short form; a four-digit year
    // stands as it is.
    if (yearNumber < 1000) yearNumber += 1900;
    if (yearNumber > 9999) Reject(text, "the year is out of range");

    const int secondsOfDay = TimeOfDay(words[4]);
    if (secondsOfDay < 0) Reject(text, "the time of day is not HH:MM:SS");

    using namespace std::chrono;
    const year_month_day date{year{yearNumber}, month{static_cast<unsigned>(monthNumber)},
                              day{static_cast<unsigned>(dayNumber)}};
    if (!date.ok()) Reject(text, "no such day in that month");

    DateTime result = sys_days{date} + seconds{secondsOfDay};
    if (text.size() >= 3 && text.substr(text.size() - 3) == "EST") result -= hours{5};
    return result;
}

}  // namespace parlux
