#pragma once
// Stats pages for the benchmarks: short nicks, as real ones are, and
// version-1 Mixmaster pages of a given number of remailers.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace parlux::bench {

// The sort keys keep nine characters of a nick.
inline std::string Nick(int i) { return "pgr" + std::to_string(1000 + i); }

// A page of the given pinger: every remailer but a few, in an order of the
// pinger's own (real pages sort by uptime, not by name).
inline std::string Page(int pinger, int remailers, std::mt19937& random) {
    std::vector<int> order(remailers);
    for (int i = 0; i < remailers; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    std::string page =
        "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\nmixmaster           history  latency  uptime\r\n"
        "--------------------------------------------\r\n";
    char line[80];
    for (int r : order) {
        if (remailers > 1 && (r + pinger) % 17 == 0) continue;  // not every pinger sees every remailer
        std::snprintf(line, sizeof line, "rem%05d       +++++++++-++  1:%02d:%02d %6.2f%%\r\n", r, r % 60, pinger % 60,
                      100.0 - (r % 1000) / 10.0);
        page += line;
    }
    return page;
}

}  // namespace parlux::bench
