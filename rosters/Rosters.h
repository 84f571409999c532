#pragma once
// The pinger list pages: Pingers.html (each pinger's files, published and
// cached) and PingersX.html (each published file with its last upload date as
// the pinger's web server tells it). No Qt here.
#include <array>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/PingersList.h"
#include "common/core/Sinks.h"
#include "common/core/Table.h"

namespace parlux::rosters {

// PingerLinksArray and UploadDatesArray: column 0 the nick, columns 1 to 8 one
// file each, in this order.
inline constexpr int kLinkColumns = 9;
// The stats lists in the list's order, then the key files, Cpunk's first.
extern const std::vector<std::string_view> kColumnTypes;
// The column of a query type (exact match), 0 when it is none of the eight.
int LinkColumn(std::string_view type);

// True when some row of the table holds value in that column; false for a
// table without rows.
bool FindInColumn(const Table& table, int column, std::string_view value);

// PingersBad.lst: nicks whose cell is written in red. Nicks compare exactly.
class PingersBad {
public:
    // Reads the fields of the file's text (the field rules of Pingers.lst);
    // each distinct nick takes one row, in order of first appearance. Returns
    // the number of rows.
    int LoadPingersBad(std::string_view content);
    bool IsPingerBad(std::string_view nick) const { return FindInColumn(array_, 0, nick); }
    const Table& PingersBadArray() const { return array_; }

private:
    Table array_;
};

// The upload text of one probe, from what the server answered.
struct HeaderAnswer {
    bool answered = false;                    // a response's header block arrived
    std::optional<std::string> lastModified;  // its "Last-modified" header
};
// "_YYYY/MM/DD_HH:NN:SS", kUnknownUpload (no answer, no header or an empty
// one) or "" (a header that is not a date).
std::string UploadText(const HeaderAnswer& answer);
// Question marks in place of the digits (split where a trigraph would stand).
inline constexpr std::string_view kUnknownUpload =
    "_????"
    "/??"
    "/??_??:??:??";

// Told of each answer as it comes in: its index among the URLs.
using AnswerTaken = std::function<void(std::size_t index, const HeaderAnswer& answer)>;
// Asks every URL at once for its response headers; answers in URL order,
// each also told to taken (when given) as it comes.
using HeaderProber =
    std::function<std::vector<HeaderAnswer>(const std::vector<std::string>& urls, const AnswerTaken& taken)>;

// One row per distinct nick, in order of first appearance; a later record of
// the same nick and type replaces the URL; an unknown type adds the nick's row
// but fills nothing. Returns the row count.
int LoadPingerLinks(const std::vector<PingerRecord>& records, Table& links);

// What the progress window shows for a record as its result is taken.
struct RecordProgress {
    DateTime timeBeg;  // local time at which it was taken
    int nr = 0;        // rows before this record, in file order
    const PingerRecord* record = nullptr;
    int taken = 0;  // records taken so far, this one included
    int total = 0;  // records in the list
    // The first record, in file order, whose answer is still awaited, and
    // the rows before it; null when none is.
    const PingerRecord* awaited = nullptr;
    int awaitedNr = 0;
};
using ProgressShow = std::function<void(const RecordProgress&)>;

// LoadPingerLinks plus the parallel table of upload texts: every record of a
// known type is probed (all at once, through prober). Each record is shown
// as it is taken: those that ask nothing first, in file order, then each
// probed one as its answer comes. The tables are filled in file order, so
// that duplicates come out as if probed one by one.
int LoadPingersAndProbe(const std::vector<PingerRecord>& records, const HeaderProber& prober, const Clock& clock,
                        const ProgressShow& show, Table& links, Table& uploads);

// The whole page, CR LF line ends. uploads == nullptr: Pingers.html, with the
// cached-copy links; otherwise PingersX.html, with the upload texts.
std::string PingersPage(const Table& links, const Table* uploads, const PingersBad& bad, DateTime localNow);

// "HH:MM:SS" and "dddd YYYY/MM/DD HH:NN:SS" of a local time.
std::string ClockTime(DateTime value);
std::string GeneratedStamp(DateTime value);

// The two programs' runs on a data folder. Failures go to messages, notes on a
// malformed list to notes; the result is the exit status (0 when the page was
// written; for Rostermark 1 also when it was written but no web server asked
// answered at all). The old page stays whole whenever the new one is not
// written.
int RunRosterbase(const std::filesystem::path& dataFolder, const Clock& clock, MessageSink& messages,
                  std::ostream& notes);
int RunRostermark(const std::filesystem::path& dataFolder, const Clock& clock, MessageSink& messages,
                  std::ostream& notes, const HeaderProber& prober, const ProgressShow& show);

}  // namespace parlux::rosters
