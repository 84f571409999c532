#include "pulsegrid/StatsFigures.h"

#include <array>
#include <charconv>
#include <utility>

#include "common/core/TextFields.h"
#include "common/core/TextLines.h"

namespace parlux {

namespace {

// A grid of half a million texts is read for the history: nothing here
// allocates, and numbers are read the same whatever the locale.

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "h:mm:ss", "mm:ss", ":ss" ... as numbers between colons, at most three (no
// text has more); an empty first part counts as 0 (":25"). Nothing when a
// part is not a number.
struct ColonNumbers {
    std::array<long, 3> part{};
    std::size_t count = 0;
};

std::optional<ColonNumbers> ColonParts(std::string_view text) {
    ColonNumbers out;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = text.find(':', start);
        const std::string_view part = text.substr(start, colon == std::string_view::npos ? colon : colon - start);
        long value = 0;
        if (part.empty() && start == 0 && colon != std::string_view::npos)
            value = 0;
        else if (AllDigits(part) && part.size() <= 4)
            std::from_chars(part.data(), part.data() + part.size(), value);
        else
            return std::nullopt;
        if (out.count == out.part.size()) return std::nullopt;
        out.part[out.count++] = value;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return out;
}

// The last blank-separated word before the uptime, and the uptime, of a
// version-1 text's last 16 characters.
std::pair<std::string_view, std::string_view> Version1Words(std::string_view text) {
    const std::string_view tail = TrimView(Right(text, 16));
    const std::size_t blank = tail.rfind(' ');
    if (blank == std::string_view::npos) return {"", tail};
    return {TrimView(tail.substr(0, blank)), tail.substr(blank + 1)};
}

std::optional<double> Percent(std::string_view word) {
    if (word.empty() || word.back() != '%') return std::nullopt;
    word.remove_suffix(1);
    const std::size_t dot = word.find('.');
    const std::string_view whole = word.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : word.substr(dot + 1);
    if (!AllDigits(whole) || whole.size() > 3 || (dot != std::string_view::npos && !AllDigits(fraction)))
        return std::nullopt;
    double value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value);
    if (value > 100.0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<long> ParseLatency(std::string_view text, bool version1) {
    if (version1) {
        // Pingers of version 1 print minutes and seconds, hours before them when any.
        const auto parts = ColonParts(Version1Words(text).first);
        if (!parts || parts->count < 2) return std::nullopt;
        long seconds = 0;
        for (std::size_t i = 0; i < parts->count; ++i) seconds = seconds * 60 + parts->part[i];
        return seconds;
    }
    // Version 2 prints hours and minutes: "1:15", ":25".
    const auto parts = ColonParts(TrimView(Mid(text, 15, 5)));
    if (!parts || parts->count != 2) return std::nullopt;
    return (parts->part[0] * 60 + parts->part[1]) * 60;
}

std::optional<double> ParseUptime(std::string_view text, bool version1) {
    if (version1) return Percent(Version1Words(text).second);
    return Percent(TrimView(Mid(text, 37, 6)));
}

}  // namespace parlux
