#include "pulsegrid/StatsFigures.h"

#include <string>
#include <utility>
#include <vector>

#include "common/core/TextFields.h"
#include "common/core/TextLines.h"

namespace parlux {

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "h:mm:ss", "mm:ss", ":ss" ... as numbers between colons; an empty first
// part counts as 0 (":25"). Nothing when a part is not a number.
std::optional<std::vector<long>> ColonParts(std::string_view text) {
    std::vector<long> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = text.find(':', start);
        const std::string_view part = text.substr(start, colon == std::string_view::npos ? colon : colon - start);
        if (part.empty() && start == 0 && colon != std::string_view::npos)
            parts.push_back(0);
        else if (AllDigits(part) && part.size() <= 4)
            parts.push_back(std::stol(std::string(part)));
        else
            return std::nullopt;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return parts;
}

// The last blank-separated word before the uptime, and the uptime, of a
// version-1 text's last 16 characters.
std::pair<std::string, std::string> Version1Words(std::string_view text) {
    const std::string tail = Trim(Right(text, 16));
    const std::size_t blank = tail.rfind(' ');
    if (blank == std::string::npos) return {"", tail};
    return {Trim(tail.substr(0, blank)), tail.substr(blank + 1)};
}

std::optional<double> Percent(std::string_view word) {
    if (word.empty() || word.back() != '%') return std::nullopt;
    word.remove_suffix(1);
    const std::size_t dot = word.find('.');
    const std::string_view whole = word.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : word.substr(dot + 1);
    if (!AllDigits(whole) || whole.size() > 3 || (dot != std::string_view::npos && !AllDigits(fraction)))
        return std::nullopt;
    const double value = std::stod(std::string(word));
    if (value > 100.0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<long> ParseLatency(std::string_view text, bool version1) {
    if (version1) {
        // Pingers of version 1 print minutes and seconds, hours before them when any.
        const auto parts = ColonParts(Version1Words(text).first);
        if (!parts || parts->size() < 2 || parts->size() > 3) return std::nullopt;
        long seconds = 0;
        for (const long part : *parts) seconds = seconds * 60 + part;
        return seconds;
    }
    // Version 2 prints hours and minutes: "1:15", ":25".
    const auto parts = ColonParts(Trim(Mid(text, 15, 5)));
    if (!parts || parts->size() != 2) return std::nullopt;
    return ((*parts)[0] * 60 + (*parts)[1]) * 60;
}

std::optional<double> ParseUptime(std::string_view text, bool version1) {
    if (version1) return Percent(Version1Words(text).second);
    return Percent(Trim(Mid(text, 37, 6)));
}

}  // namespace parlux
