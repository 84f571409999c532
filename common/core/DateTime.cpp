#include "common/core/DateTime.h"

#include <cstdio>

namespace parlux {

using namespace std::chrono;

DateTime MakeDateTime(int yearValue, int monthValue, int dayValue, int hour, int minute, int second) {
    // Out-of-range months and days carry over into the next fields, so that
    // (2003, 13, 1) is 2004-01-01 and (2003, 3, 0) is 2003-02-28.
    const year_month firstMonth = year{yearValue} / January + months{monthValue - 1};
    const sys_days day = sys_days{firstMonth / 1} + days{dayValue - 1};
    return day + hours{hour} + minutes{minute} + seconds{second};
}

DateTimeParts SplitDateTime(DateTime value) {
    const sys_days day = floor<days>(value);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{value - day};
    return DateTimeParts{static_cast<int>(ymd.year()),
                         static_cast<int>(static_cast<unsigned>(ymd.month())),
                         static_cast<int>(static_cast<unsigned>(ymd.day())),
                         static_cast<int>(time.hours().count()),
                         static_cast<int>(time.minutes().count()),
                         static_cast<int>(time.seconds().count())};
}

std::string FormatStamp(DateTime value) {
    const DateTimeParts p = SplitDateTime(value);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buffer;
}

std::string FormatLogDate(DateTime value) {
    const DateTimeParts p = SplitDateTime(value);
    char buffer[64];
    if (p.hour == 0 && p.minute == 0 && p.second == 0)
        std::snprintf(buffer, sizeof buffer, "#%04d-%02d-%02d#", p.year, p.month, p.day);
    else
        std::snprintf(buffer, sizeof buffer, "#%04d-%02d-%02d %02d:%02d:%02d#", p.year, p.month, p.day, p.hour,
                      p.minute, p.second);
    return buffer;
}

namespace {

// Reads exactly width digits at text[pos]; false when any of them is not a digit.
bool ReadDigits(const std::string& text, std::size_t pos, std::size_t width, int& out) {
    if (pos + width > text.size()) return false;
    int value = 0;
    for (std::size_t k = pos; k < pos + width; ++k) {
        const char c = text[k];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    out = value;
    return true;
}

}  // namespace

bool ParseLogDate(const std::string& text, DateTime& out) {
    std::string body = text;
    if (!body.empty() && body.front() == '#') {
        if (body.size() < 2 || body.back() != '#') return false;
        body = body.substr(1, body.size() - 2);
    } else if (!body.empty() && body.back() == '#') {
        return false;
    }
    // yyyy-mm-dd (10 characters) or yyyy-mm-dd hh:mm:ss (19 characters).
    if (body.size() != 10 && body.size() != 19) return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!ReadDigits(body, 0, 4, y) || body[4] != '-' || !ReadDigits(body, 5, 2, mo) || body[7] != '-' ||
        !ReadDigits(body, 8, 2, d))
        return false;
    if (body.size() == 19) {
        if (body[10] != ' ' || !ReadDigits(body, 11, 2, h) || body[13] != ':' || !ReadDigits(body, 14, 2, mi) ||
            body[16] != ':' || !ReadDigits(body, 17, 2, s))
            return false;
        if (h > 23 || mi > 59 || s > 59) return false;
    }
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok()) return false;
    out = sys_days{ymd} + hours{h} + minutes{mi} + seconds{s};
    return true;
}

}  // namespace parlux
