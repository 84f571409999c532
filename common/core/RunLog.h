#pragma once
// The run log of a comparer: one record per feedback call.
#include <filesystem>
#include <memory>
#include <string>

#include "common/core/DateTime.h"

namespace parlux {

// ProgramFolder() / (ProgramName() + ".log") when that folder is the user's
// own (ProgramFolderIsOwn); else the same name in the user's state folder
// ($XDG_STATE_HOME/parlux, or ~/.local/state/parlux); empty, no log kept,
// without a home or when it is another user's (UserFolder).
std::filesystem::path RunLogPath();
// The rule above for a given program folder and name.
std::filesystem::path RunLogPath(const std::filesystem::path& programFolder, const std::string& programName);

// The run log: one record per FeedBack call. The file is opened at the first
// record of an action and closed at its end (close()); each record goes to
// the file in one write, so a kill loses at most the record being written.
// Copies share the open file. The file is opened without following a link
// and used only when it is a regular file: a link, a FIFO or a folder at its
// path is said once on stderr and no file is kept, the run going on. A log
// with an empty path keeps no file either (the records are still made). The
// other errors are filesystem_errors whose what() is "<path>: <what is
// wrong>".
class RunLog {
public:
    explicit RunLog(std::filesystem::path path);
    const std::filesystem::path& path() const { return path_; }
    void reset() const;  // ResetLog: empty it (create it when missing)
    // Appends #date#,"top","detail" CR LF and returns the record without CR
    // LF. Control characters of the texts are written as "?", so that no text
    // can forge a record or reach a terminal as a control sequence.
    std::string append(DateTime localTime, const std::string& top, const std::string& detail) const;
    // Closes the file until the next record; nothing stays open between steps.
    void close() const;

private:
    struct File;
    std::filesystem::path path_;
    std::shared_ptr<File> file_;
};

// ResetLog: empties this program's run log (RunLogPath()).
void ResetLog();

}  // namespace parlux
