#include "common/desktop/SystemFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace parlux {

namespace fs = std::filesystem;

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

std::string SystemDirectory() {
#if defined(__x86_64__)
    constexpr const char* kTriplet = "x86_64-linux-gnu";
#elif defined(__aarch64__)
    constexpr const char* kTriplet = "aarch64-linux-gnu";
#elif defined(__i386__)
    constexpr const char* kTriplet = "i386-linux-gnu";
#elif defined(__arm__)
    constexpr const char* kTriplet = "arm-linux-gnueabihf";
#elif defined(__riscv) && __riscv_xlen == 64
    constexpr const char* kTriplet = "riscv64-linux-gnu";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr const char* kTriplet = "powerpc64le-linux-gnu";
#elif defined(__s390x__)
    constexpr const char* kTriplet = "s390x-linux-gnu";
#else
    constexpr const char* kTriplet = "";
#endif
    std::error_code ec;
    std::string multiarch = std::string("/usr/lib/") + kTriplet;
    if (*kTriplet && fs::is_directory(multiarch, ec)) return multiarch;
    if (sizeof(void*) == 8 && fs::is_directory("/usr/lib64", ec)) return "/usr/lib64";
    return "/usr/lib";
}

namespace {

// Checks with lstat that folder is a real folder (not a link) of this user,
// closed to everyone else; problem says otherwise.
bool PrivateFolder(const std::string& folder, std::string& problem) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        problem = folder + " cannot be used: " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        problem = folder + " is a link, not a folder";
    } else if (!S_ISDIR(info.st_mode)) {
        problem = folder + " is not a folder";
    } else if (info.st_uid != ::geteuid()) {
        problem =
            folder + " belongs to user " + std::to_string(info.st_uid) + ", not to user " + std::to_string(::geteuid());
    } else if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        problem = folder + " is open to other users (mode " + mode + ")";
    } else {
        return true;
    }
    return false;
}

// The private folder's own path in the temp folder, "" when there is no temp folder.
std::string TempPrivateFolder() {
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    return ec ? std::string() : (temp / ("parlux-" + std::to_string(::geteuid()))).string();
}

}  // namespace

bool XdgRuntimeFolderIsPrivate(std::string* problem) {
    if (!Set("XDG_RUNTIME_DIR")) return false;
    std::string why;
    const bool ok = PrivateFolder(std::getenv("XDG_RUNTIME_DIR"), why);
    if (!ok && problem) *problem = "XDG_RUNTIME_DIR " + why;
    return ok;
}

std::string PrivateRuntimeFolder(std::string* problem) {
    std::string xdgProblem;
    if (XdgRuntimeFolderIsPrivate(&xdgProblem)) return std::getenv("XDG_RUNTIME_DIR");
    std::string folder = TempPrivateFolder();
    std::string why;
    if (folder.empty()) {
        why = "there is no temp folder";
    } else if (::mkdir(folder.c_str(), 0700) == 0) {
        // Just made by this process, so its mode may be set: the umask may
        // have taken the owner's own rights.
        ::chmod(folder.c_str(), 0700);
        if (PrivateFolder(folder, why)) return folder;
    } else if (errno != EEXIST) {
        why = folder + " cannot be created: " + std::strerror(errno);
    } else if (PrivateFolder(folder, why)) {
        return folder;
    }
    if (problem) *problem = xdgProblem.empty() ? why : xdgProblem + "; " + why;
    return {};
}

}  // namespace parlux
