#include "common/core/DataFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "common/core/StderrLines.h"

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

bool BelongsToRunningUser(const fs::path& path) {
    // The path itself when it is there (a link counts as its own owner's),
    // else the nearest folder above it that is.
    for (fs::path at = path.lexically_normal();; at = at.parent_path()) {
        struct stat info {};
        if (::lstat(at.c_str(), &info) == 0) return info.st_uid == ::getuid();
        if (errno != ENOENT || !at.has_relative_path()) return false;
    }
}

namespace {

fs::path UserFolderAsked(const char* xdgVariable, const char* underHome) {
    if (const char* xdg = std::getenv(xdgVariable); xdg && *xdg == '/') return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / underHome;
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_dir && *entry->pw_dir) return fs::path(entry->pw_dir) / underHome;
    return {};
}

}  // namespace

fs::path UserFolder(const char* xdgVariable, const char* underHome) {
    fs::path folder = UserFolderAsked(xdgVariable, underHome);
    if (folder.empty() || BelongsToRunningUser(folder)) return folder;
    static bool said = false;
    if (!said) {
        said = true;
        StderrLine(folder.string() + " is not the running user's own: no run log and no \"Me\" files are kept");
    }
    return {};
}

bool ProgramFolderIsOwn(const fs::path& folder) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if (info.st_uid != ::geteuid() || ::access(folder.c_str(), W_OK) != 0) return false;
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    for (const char* system : {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/opt", "/etc", "/snap"}) {
        const fs::path top(system);
        if (std::mismatch(top.begin(), top.end(), real.begin(), real.end()).first == top.end()) return false;
    }
    return !fs::exists(real.parent_path() / "share" / "doc" / "parlux", ec);
}

const char* const kPingersListTemplate =
    "# Pingers.lst: the pingers compared, one record a line, three fields\r\n"
    "# separated by commas, each in double quotes: the file's type, the pinger's\r\n"
    "# nick (it names the downloaded copies) and the address of the file.\r\n"
    "# Types: PGP-1, MIX-1, PGP-2, MIX-2 (remailer lists), K-RSA, K-DSS, K-TY2,\r\n"
    "# K-MIX (key files). Lines starting with # are comments. For example:\r\n"
    "#\r\n"
    "# \"MIX-2\",\"alpha\",\"http://pinger.example.net/stats/mlist2.html\"\r\n"
    "# \"K-TY2\",\"alpha\",\"http://pinger.example.net/stats/type2.list\"\r\n"
    "#\r\n"
    "# The \">>\" buttons copy this file into the data folder.\r\n";

fs::path MeFolder(const fs::path& programFolder) {
    if (ProgramFolderIsOwn(programFolder)) return programFolder;
    const fs::path config = UserFolder("XDG_CONFIG_HOME", ".config");
    if (config.empty()) return programFolder;  // nothing of the user's own: read only, never written
    fs::path me = config / "parlux";
    std::error_code ec;
    if (!fs::is_directory(me, ec)) {
        fs::create_directories(me, ec);
        if (ec) return me;
        const fs::path list = me / "Pingers.lst";
        const int fd = ::open(list.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const std::string text = kPingersListTemplate;
            [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
            ::close(fd);
        }
    }
    return me;
}

fs::path MeFolder() { return MeFolder(ProgramFolder()); }

}  // namespace parlux
