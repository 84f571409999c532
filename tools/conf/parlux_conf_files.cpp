// parlux-conf-files EXAMPLE MANUAL_IN MANUAL: writes the package's example
// Parlux.conf (the file a new data folder gets) and the manual page
// Parlux.conf(5), whose "@KEYS@" line becomes the keys' paragraphs, both from
// the one list of the file's keys. Run by the build.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "common/core/SiteConfig.h"
#include "common/core/WholeFile.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "parlux-conf-files: usage: parlux-conf-files EXAMPLE MANUAL_IN MANUAL\n");
        return 2;
    }
    try {
        parlux::ReplaceWholeFile(argv[1], parlux::site::ConfigTemplate());
        std::string manual = parlux::ReadWholeFile(argv[2]);
        const std::string marker = "@KEYS@\n";
        const std::size_t at = manual.find(marker);
        if (at == std::string::npos) throw std::runtime_error(std::string(argv[2]) + " has no @KEYS@ line");
        manual.replace(at, marker.size(), parlux::site::ConfigManualKeys());
        parlux::ReplaceWholeFile(argv[3], manual);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "parlux-conf-files: %s\n", e.what());
        return 1;
    }
    return 0;
}
