#pragma once
// A Lockgrid workbench over a scratch data folder with a fixed clock and
// recording sinks, and the key files of three pingers served on a loopback
// port: alpha publishes the real keyrings and Mix key lists, beta variants of
// them (keys missing, a changed address, a key twice, a binary keyring, two
// armored blocks, LF-only lines), gamma an error page in place of its keyring.
// Header only: the core and the window suites share it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/core/Table.h"
#include "lockgrid/KeysComparer.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"
#include "workbench/testing/WorkbenchTestSupport.h"

namespace parlux::test {

// A file of lockgrid/tests/data.
inline std::string KeyData(const std::string& name) { return ReadFile(SourceDir() / "lockgrid/tests/data" / name); }
// An expected file of lockgrid/tests/golden.
inline std::filesystem::path KeysGolden(const std::string& name) {
    return SourceDir() / "lockgrid/tests/golden" / name;
}

// A pinger's key file: its record in Pingers.lst and where it is served.
struct KeyFileRecord {
    std::string type, nick, path;
};

// Serves the three pingers' key files on the server (before it starts).
inline std::vector<KeyFileRecord> ServeKeyFiles(LoopbackServer& server) {
    const std::vector<std::vector<std::string>> files = {
        // type, nick, served path, data file
        {"K-RSA", "alpha", "/alpha/pubring.asc", "pubring.asc"},
        {"K-RSA", "beta", "/beta/rsa.gpg", "beta_rsakeys.gpg"},
        {"K-DSS", "alpha", "/alpha/dsa.asc", "alpha_dsskeys.asc"},
        {"K-DSS", "beta", "/beta/dsa.asc", "beta_dsskeys.asc"},
        {"K-TY2", "alpha", "/alpha/type2.list", "type2.list"},
        {"K-TY2", "beta", "/beta/type2.list", "beta_type2.list"},
        {"K-MIX", "alpha", "/alpha/pubring.mix", "pubring.mix"},
        {"K-MIX", "beta", "/beta/pubring.mix", "beta_pubring.mix"},
    };
    std::vector<KeyFileRecord> records;
    for (const auto& f : files) {
        server.serve(f[2], KeyData(f[3]), 200, "application/octet-stream");
        records.push_back({f[0], f[1], f[2]});
    }
    // gamma's host answers its keyring's address with a page of its own.
    server.serve("/gamma/rsa.asc", "<html><body>The keyring has moved.</body></html>\n");
    records.push_back({"K-RSA", "gamma", "/gamma/rsa.asc"});
    return records;
}

// Pingers.lst for the records of a started server.
inline std::string KeyFilesList(const std::vector<KeyFileRecord>& records, const LoopbackServer& server) {
    std::string list;
    for (const auto& r : records) list += "\"" + r.type + "\",\"" + r.nick + "\",\"" + server.url(r.path) + "\"\r\n";
    return list;
}

class LockgridTest : public WorkbenchCoreTest<KeysWorkbench> {
protected:
    LockgridTest()
        // Local 12:30 at GMT+1: pages are stamped 11:30 GMT.
        : WorkbenchCoreTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5),
                            "Lockgrid.log") {}

    void writeList(const std::string& content) { WriteFile(data_ / "Pingers.lst", content); }
    std::string log() const { return withoutDataFolder(ReadFile(program_.path() / "Lockgrid.log")); }
    std::string page(const std::string& type) const { return ReadFile(data_ / ("Comp_RK_" + type + ".txt")); }
    // PingersArray with these nicks, as LOA_Pingers leaves it.
    void setPingers(const std::vector<std::string>& nicks) {
        Table& pingers = workbench().table(kPingersTable);
        pingers.reset();
        for (const auto& nick : nicks) pingers.setText(0, pingers.addRow(2), nick);
    }
};

}  // namespace parlux::test
