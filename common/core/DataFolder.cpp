#include "common/core/DataFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace parlux {

namespace fs = std::filesystem;

fs::path DataFolder() {
    const char* configured = std::getenv("PARLUX_DATA");
    if (configured && *configured) return fs::path(configured);
    return DefaultDataFolder();
}

fs::path DefaultDataFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return fs::path(home) / "Parlux";
    // Cron and some service managers start jobs without HOME: the password
    // database still knows the folder. A shared fallback would mix the data
    // of every user, so without a home folder there is no default at all.
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_dir && *entry->pw_dir) return fs::path(entry->pw_dir) / "Parlux";
    throw DataFolderError("No data folder: HOME is not set and user " + std::to_string(::getuid()) +
                          " has no home folder in the password database; set HOME or PARLUX_DATA");
}

fs::path DataPath(std::string_view name) { return DataFolder() / fs::path(std::string(name)); }

namespace {

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

}  // namespace

fs::path ProgramFolder() { return ExecutablePath().parent_path(); }

std::string ProgramName() { return ExecutablePath().stem().string(); }

}  // namespace parlux
