#pragma once
// Two pingers, alpha and beta, publishing all four stats lists on a loopback
// port, and the Pingers.lst that names them.
//   alpha reports austria, dizum, frell; beta reports dizum, hermetix.
//   So per type: 2 pingers, 5 stats rows, 4 remailers, 2 x 4 = 8 grid rows.
#include <filesystem>
#include <string>
#include <vector>

#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {

inline const std::vector<std::string> kFourTypes = {"PGP-1", "MIX-1", "PGP-2", "MIX-2"};

// A capability line as a web page carries it.
inline std::string CapabilityLine(const std::string& remailer) {
    return "$remailer{&quot;" + remailer + "&quot;} = &quot;&lt;mix@" + remailer +
           ".example&gt; cpunk mix pgp latent hash&quot;;\r\n";
}

// A remailer list of the given type in the pingers' own layout, as a web page
// with CR LF ends; all but the version-1 Mixmaster list carry capability lines.
inline std::string StatsList(const std::string& type, const std::vector<std::string>& remailers) {
    const bool v2 = type.back() == '2';
    const bool mix = type.starts_with("MIX");
    std::string page = "<html><body><pre>\r\n";
    if (!v2 && !mix) {
        for (const auto& name : remailers) page += CapabilityLine(name);
        page += "\r\n";
    }
    if (v2) {
        page += "Stats-Version: 2.0\r\nGenerated: Fri 30 Nov 2012 10:20:00 GMT\r\n";
        page += std::string(mix ? "Mixmaster   " : "Cypherpunk  ") +
                " Latent-Hist   Latent  Uptime-Hist   Uptime  Options\r\n";
        page += std::string(72, '-') + "\r\n";
        for (const auto& name : remailers)
            page += name + std::string(13 - name.size(), ' ') +
                    "000000000000    :28   ++++++++++++  100.0%  D  MHG XATLEUIN9\r\n";
    } else {
        page += "Last update: Fri 30 Nov 2012 10:20:00 GMT\r\n";
        page += mix ? "mixmaster           history  latency  uptime\r\n"
                    : "remailer  email address                        history  latency  uptime\r\n";
        page += std::string(mix ? 44 : 71, '-') + "\r\n";
        for (const auto& name : remailers)
            page += name + std::string(9 - name.size(), ' ') + "remailer@" + name +
                    ".example   +++++++++-++  1:47:01 100.00%\r\n";
    }
    page += "\r\n";
    if (v2) {
        page += "\r\n\r\nRemailer-Capabilities:\r\n\r\n";
        for (const auto& name : remailers) page += CapabilityLine(name);
    }
    page += "</pre></body></html>\r\n";
    return page;
}

// Serves the lists (call before server.start()).
inline void ServePingers(LoopbackServer& server) {
    for (const auto& type : kFourTypes) {
        server.serve("/alpha/" + type, StatsList(type, {"austria", "dizum", "frell"}));
        server.serve("/beta/" + type, StatsList(type, {"dizum", "hermetix"}));
    }
}

// Pingers.lst naming both pingers for every type (call after server.start()).
inline std::string PingersList(const LoopbackServer& server) {
    std::string list;
    for (const auto& type : kFourTypes)
        for (const std::string nick : {"beta", "alpha"})
            list += "\"" + type + "\",\"" + nick + "\",\"" + server.url("/" + nick + "/" + type) + "\"\r\n";
    return list;
}

// One run-log record split into its date and its two lines.
struct LogRecord {
    std::string date, top, detail;
};

inline std::vector<LogRecord> ReadLog(const std::filesystem::path& path) {
    std::vector<LogRecord> records;
    for (const auto& line : CrLfLines(ReadFile(path))) {
        // #date#,"top","detail" with no escaping: the date ends at "#,", the top at "\",\"".
        LogRecord r;
        const auto dateEnd = line.find("#,\"");
        const auto split = line.find("\",\"", dateEnd + 3);
        if (line.empty() || line.front() != '#' || dateEnd == std::string::npos || split == std::string::npos ||
            line.back() != '"') {
            r.top = "<malformed> " + line;
        } else {
            r.date = line.substr(0, dateEnd + 1);
            r.top = line.substr(dateEnd + 3, split - dateEnd - 3);
            r.detail = line.substr(split + 3, line.size() - split - 4);
        }
        records.push_back(r);
    }
    return records;
}

// The top lines of the records, each change once.
inline std::vector<std::string> TopLines(const std::vector<LogRecord>& records) {
    std::vector<std::string> tops;
    for (const auto& r : records)
        if (tops.empty() || tops.back() != r.top) tops.push_back(r.top);
    return tops;
}

}  // namespace parlux::test
