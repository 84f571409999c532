#pragma once
// Stats types, file names, folders, fixed-width fields, the table check, the
// run log with its feedback routine, and the offset from GMT.
#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "DateTime.h"
#include "Sinks.h"
#include "Table.h"

namespace parlux {

struct StatsTypeInfo {
    std::string_view code;     // "PGP-1"
    std::string_view suffix;   // "_rlist.shtml"
    std::string_view caption;  // "V1 Cpunk"
};
extern const std::array<StatsTypeInfo, 8> kStatsTypes;

// nick + the suffix of the code; "" for an unknown code (case-sensitive).
std::string StatsFileName(std::string_view code, std::string_view nick);

// The text followed by blanks, cut to width characters; width <= 0 gives "".
// A text that is valid UTF-8 counts and keeps whole characters; any other
// text counts bytes.
std::string PadField(std::string_view text, int width);

// The longest start of the text of at most width characters (as PadField
// counts them): its bytes and its characters.
struct WidthCut {
    std::size_t bytes = 0, characters = 0;
};
WidthCut CutToWidth(std::string_view text, std::size_t width);

// Shows "9" CR LF "Subscript out of range" CR LF "Array not Initialized" and
// returns true when the table is not loaded; false (and no box) otherwise.
bool ArrayNotInitialized(const Table& table, MessageSink& messages);

// Deletes the file if there is one; never reports anything.
void DeleteIfExists(const std::filesystem::path& path);

// The data folder: $PARLUX_DATA when set and not empty, else the built-in
// default, Parlux in the home folder: $HOME, or when that is not set the
// user's entry in the password database. Throws DataFolderError when there is
// no home folder at all.
std::filesystem::path DataFolder();
std::filesystem::path DefaultDataFolder();

class DataFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// DataFolder() / name.
std::filesystem::path DataPath(std::string_view name);

// The folder of the running executable, and its file name without extension.
std::filesystem::path ProgramFolder();
std::string ProgramName();
// ProgramFolder() / (ProgramName() + ".log"); when the program folder cannot
// be written (an installed program run by a user), the same name in the
// user's state folder ($XDG_STATE_HOME/parlux, or ~/.local/state/parlux).
std::filesystem::path RunLogPath();
// The rule above for a given program folder and name.
std::filesystem::path RunLogPath(const std::filesystem::path& programFolder, const std::string& programName);

// The run log: one record per FeedBack call. The file is opened at the first
// record of an action and closed at its end (close()); each record goes to
// the file in one write, so a kill loses at most the record being written.
// Copies share the open file.
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

// FeedBack step by step: set the non-empty lines, pause, repaint, let events
// run, append the log record from the lines as they now stand, events again.
class FeedbackLines final : public FeedbackSink {
public:
    FeedbackLines(RunLog log, const Clock& clock, FeedbackDisplay* display = nullptr)
        : log_(std::move(log)), clock_(&clock), display_(display) {}
    void setDisplay(FeedbackDisplay* display) { display_ = display; }
    void feedBack(std::string_view top, std::string_view detail, int pauseMs) override;
    void endOfStep() override { log_.close(); }
    const std::string& top() const override { return top_; }
    const std::string& detail() const override { return detail_; }
    const RunLog& log() const { return log_; }

private:
    RunLog log_;
    const Clock* clock_;
    FeedbackDisplay* display_;
    std::string top_, detail_;
};

// FeedBack (window, first line, second line, pause): empty texts leave a line
// as it was, a single blank blanks it; the record goes to the run log.
inline void FeedBack(FeedbackSink& window, std::string_view top, std::string_view detail, int pauseMs) {
    window.feedBack(top, detail, pauseMs);
}

// Local time minus GMT in hours, to the minute (5.75 for +5:45).
extern double GMTOffsetHours;
void InitGMTOffset(const Clock& clock = SystemClock());
// Local now minus GMTOffsetHours, for page time stamps.
DateTime GmtNow(const Clock& clock);

}  // namespace parlux
