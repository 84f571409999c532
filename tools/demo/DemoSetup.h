#pragma once
// The demo's set-up steps that start no process: the fresh data folder filled
// from the sample, a loopback port on which nothing listens, and the list of
// comparison pages a run has produced.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parlux::demo {

// Every "@PORT@" becomes port and every "@DOWNPORT@" becomes downPort.
std::string FillPlaceholders(std::string text, int port, int downPort);

// Empties folder (removing it first when it exists), then copies every entry of
// sampleData into it; Pingers.lst gets its placeholders filled, byte for byte
// otherwise. Throws std::filesystem::filesystem_error.
void PrepareDataFolder(const std::filesystem::path& sampleData, const std::filesystem::path& folder, int port,
                       int downPort);

// A port on 127.0.0.1 that nothing listens on: bound to an ephemeral port,
// then released. 0 when no socket could be had.
int ClosedLoopbackPort();

struct PageFile {
    std::string name;
    std::uintmax_t size = 0;
};
// The comparison pages in folder (Comp_*.txt and Comp_*.html), sorted by name.
std::vector<PageFile> ListPages(const std::filesystem::path& folder);

// What a complete unattended run writes: for each stats type the direct text
// and web pages and the reverse text page, the options page of the version-2
// types, Flaggrid's capability-strings page when Flaggrid runs, and the keys
// page of each key type when Lockgrid runs.
std::vector<std::string> ExpectedPages(bool withFlaggrid, bool withLockgrid = false);

}  // namespace parlux::demo
