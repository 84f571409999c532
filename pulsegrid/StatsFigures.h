#pragma once
// The figures of a stats text, as the pages print them.
#include <optional>
#include <string_view>

namespace parlux {

// The latency and uptime printed in a stats text: version 1 ends in
// "[[h:]m]m:ss uu.uu%", version 2 holds "h:mm" at characters 15-19 and
// "uuu.u%" at 37-42. Nothing where the text holds no such figure.
std::optional<long> ParseLatency(std::string_view text, bool version1);
std::optional<double> ParseUptime(std::string_view text, bool version1);

}  // namespace parlux
