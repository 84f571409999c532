#pragma once
// One copy per program on a data folder, whatever the session: a lock held for
// the program's life, taken before anything is written there.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "common/core/Sinks.h"

namespace parlux {

// flock on "<folder>/.<program>.lock", held until destruction (the program's
// life). The file is opened without following a link, refused unless it is a
// regular file, and never inherited by started programs.
class DataFolderLock {
public:
    enum class State { Taken, Held, Unusable };
    DataFolderLock(const std::filesystem::path& folder, std::string_view program);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    State state() const { return state_; }
    // Why the lock could not be used (Unusable).
    const std::string& problem() const { return problem_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    State state_ = State::Unusable;
    std::string problem_;
    int fd_ = -1;
};

// Whether this program holds the lock of folder: then no other copy of it
// works there, and every scratch file of its naming there is a leftover.
bool HoldsDataFolderLock(const std::filesystem::path& folder);

// The line a copy that finds the lock held ends with.
std::string AnotherCopyText(const std::filesystem::path& folder);

// Before a program of the data folder writes anything: reads Parlux.conf
// there (site::SetCurrent) and, for a program that works on the folder, takes
// its lock into lock. False, with the line to end on in problem, when a line
// of the file is bad, another copy holds the lock, or the lock cannot be
// used at all (a link, a folder, a FIFO, a file that cannot be made): a run
// without it could work beside another copy. A folder that is not there is
// left to the run to report.
bool OpenDataFolder(std::string_view program, const std::filesystem::path& folder,
                    std::unique_ptr<DataFolderLock>& lock, std::string& problem);
// The same, the problem told to messages.
bool OpenDataFolder(std::string_view program, const std::filesystem::path& folder,
                    std::unique_ptr<DataFolderLock>& lock, MessageSink& messages);

}  // namespace parlux
