#include "common/core/DataFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/core/FolderOwner.h"
#include "common/core/SiteConfig.h"
#include "common/core/SuitePrograms.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {
fs::path& HeldFolder() {
    static fs::path folder;
    return folder;
}
}  // namespace

bool HoldsDataFolderLock(const fs::path& folder) {
    std::error_code ec;
    return !HeldFolder().empty() && fs::equivalent(HeldFolder(), folder, ec);
}

DataFolderLock::DataFolderLock(const fs::path& folder, std::string_view program)
    : path_(folder / std::string(".").append(program).append(".lock")) {
    // No link is followed and nothing but a plain file is taken: a FIFO would
    // block, a link could make root create or lock a file elsewhere.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0) {
        problem_ = path_.string() +
                   (errno == ELOOP ? " is a link" : " cannot be opened: " + std::string(std::strerror(errno)));
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem_ = path_.string() + " is not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    KeepForFolderOwner(fd_, path_);
    int result;
    do result = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        state_ = State::Taken;
        HeldFolder() = folder;
        return;
    }
    if (errno == EWOULDBLOCK) {
        state_ = State::Held;
    } else {
        problem_ = path_.string() + " cannot be locked: " + std::strerror(errno);
    }
    ::close(fd_);
    fd_ = -1;
}

DataFolderLock::~DataFolderLock() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing lets the lock go
    HeldFolder().clear();
}

std::string AnotherCopyText(const fs::path& folder) {
    return "another copy is working in " + folder.string() + ": nothing done";
}

bool OpenDataFolder(std::string_view program, const fs::path& folder, std::unique_ptr<DataFolderLock>& lock,
                    std::string& problem) {
    try {
        site::SetCurrent(site::LoadSiteConfig(folder));
    } catch (const site::SiteConfigError& e) {
        problem = e.what();
        return false;
    }
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    if (!info || !info->dataFolderLock) return true;
    lock = std::make_unique<DataFolderLock>(folder, program);
    switch (lock->state()) {
        case DataFolderLock::State::Taken:
            return true;
        case DataFolderLock::State::Held:
            problem = AnotherCopyText(folder);
            return false;
        case DataFolderLock::State::Unusable:
            break;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return true;
    problem = lock->problem() + ": nothing done";
    return false;
}

bool OpenDataFolder(std::string_view program, const fs::path& folder, std::unique_ptr<DataFolderLock>& lock,
                    MessageSink& messages) {
    std::string problem;
    if (OpenDataFolder(program, folder, lock, problem)) return true;
    messages.critical(problem);
    return false;
}

}  // namespace parlux
