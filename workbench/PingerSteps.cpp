#include "workbench/PingerSteps.h"

#include "common/core/TextFields.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/core/DateTime.h"
#include "common/core/LfToCrLf.h"
#include "common/core/PingersList.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/Transfers.h"
#include "common/core/UrlToFile.h"
#include "common/core/WholeFile.h"

namespace parlux {

namespace {

// The copy already on disk before a download: its local modification time,
// or nothing when there is none worth the name (missing or empty).
std::optional<DateTime> EarlierCopy(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) return std::nullopt;
    std::tm parts{};
    ::localtime_r(&info.st_mtime, &parts);
    return MakeDateTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                        parts.tm_sec);
}

std::int32_t ClampBytes(std::int64_t bytes) { return ClampToInt32(bytes); }

// The lines after "Downloading ": the bytes that came, or why none did and
// what is used instead.
void ReportDownload(WorkbenchCore& wb, const std::string& type, const std::string& nick, const TransferResult& result,
                    const std::optional<DateTime>& earlier) {
    const std::int32_t bytes = result.ok ? ClampBytes(result.bytes) : 0;
    if (bytes != 0) wb.detail(nick + " " + type + " Downloaded, " + std::to_string(bytes) + " Bytes");
    if (result.ok) {
        wb.noteReached();
        return;
    }
    wb.detail(nick + " " + type + " not downloaded: " + result.error + "; " +
              (earlier ? "the copy of " + FormatStamp(*earlier) + " is used" : std::string("no earlier copy")));
    // A transfer given up because the window closed says nothing of the
    // pinger: the run's own line says it was given up.
    if (!wb.closing()) wb.noteNotDownloaded(nick + " " + type, result.error);
}

constexpr std::string_view kWaitingFor = "; waiting for ";

// A type the list does not name at all is no fault of the run.
void NoteIfNothingListed(WorkbenchCore& wb, const std::vector<PingerRecord>& records, const std::string& type) {
    if (std::none_of(records.begin(), records.end(), [&type](const PingerRecord& r) { return r.type == type; }))
        wb.noteNothingListed();
}

// While the files come, the detail line says how many have ended, how many
// of those failed, and which pingers are still waited for, in list order.
// Shown only, never logged: the log keeps the lines of one download after
// another.
TransferDone WaitingLine(WorkbenchCore& wb, std::vector<std::string> nicks) {
    if (nicks.empty()) return {};
    struct State {
        std::vector<std::string> nicks;  // request order
        std::vector<bool> ended;
        std::size_t done = 0;
        std::size_t failed = 0;
    };
    auto state = std::make_shared<State>();
    state->nicks = std::move(nicks);
    state->ended.assign(state->nicks.size(), false);
    auto show = [&wb, state] {
        std::string line = "LOA_Pingers: " + std::to_string(state->done) + " of " +
                           std::to_string(state->nicks.size()) + " done (" + std::to_string(state->failed) + " failed)";
        std::string waiting;
        for (std::size_t k = 0; k < state->nicks.size(); ++k)
            if (!state->ended[k]) waiting += (waiting.empty() ? "" : ", ") + state->nicks[k];
        if (!waiting.empty()) line.append(kWaitingFor).append(waiting);
        wb.feedback().progress(line);
    };
    show();
    return [state, show](std::size_t index, const TransferResult& result) {
        if (index >= state->ended.size() || state->ended[index]) return;
        state->ended[index] = true;
        ++state->done;
        if (!result.ok) ++state->failed;
        show();
    };
}

}  // namespace

bool DownloadPinger(WorkbenchCore& wb, const std::string& type, const std::string& nick, const std::string& url,
                    const std::filesystem::path& path) {
    wb.detail(nick + " " + type + " Downloading ");
    const auto earlier = EarlierCopy(path);
    const auto result = RunTransfers({TransferRequest{url, TransferMode::File, path}}, 1).front();
    ReportDownload(wb, type, nick, result, earlier);
    return result.ok && result.bytes != 0;
}

void NoteListAsRead(WorkbenchCore& wb, const PingersList& list, const std::filesystem::path& path) {
    if (!list.warning.empty()) wb.detail(list.warning);
    if (list.records.empty()) wb.noteListEmpty(path.string());
}

namespace {

// The first record of each usable nick is fetched, all of them at once; a
// later record of a nick already loaded is not fetched at all.
enum class Plan { Skip, Unusable, Fetch, Later };

struct DownloadPlan {
    std::vector<Plan> plans;             // one per record of the list
    std::vector<std::size_t> requestOf;  // the request of a Fetch record
    std::vector<TransferRequest> requests;
    std::vector<std::optional<DateTime>> earlier;  // the copy each request may replace
    std::vector<std::string> fetched;              // the requests' nicks
};

DownloadPlan PlanDownloads(const WorkbenchCore& wb, const std::vector<PingerRecord>& records, const std::string& type) {
    DownloadPlan plan;
    plan.plans.assign(records.size(), Plan::Skip);
    plan.requestOf.assign(records.size(), 0);
    std::unordered_set<std::string> planned;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& record = records[i];
        if (record.type != type) continue;
        if (!UsableNick(record.nick)) {
            plan.plans[i] = Plan::Unusable;
        } else if (!planned.insert(record.nick).second) {
            plan.plans[i] = Plan::Later;
        } else {
            plan.plans[i] = Plan::Fetch;
            plan.requestOf[i] = plan.requests.size();
            const auto path = wb.dataPath(StatsFileName(type, record.nick));
            plan.earlier.push_back(EarlierCopy(path));
            plan.requests.push_back(TransferRequest{record.url, TransferMode::File, path});
            plan.fetched.push_back(record.nick);
        }
    }
    return plan;
}

// The lines of one planned record, as one download after another gives them;
// false when it gives no row (nothing to load, or its nick is loaded already).
bool ReportRecord(WorkbenchCore& wb, const PingerRecord& record, std::size_t i, const DownloadPlan& plan,
                  const std::vector<TransferResult>& results, const std::unordered_set<std::string>& loaded) {
    const std::string& type = wb.statsType();
    const auto path = wb.dataPath(StatsFileName(type, record.nick));
    switch (plan.plans[i]) {
        case Plan::Skip:
            return false;
        case Plan::Unusable:
            wb.detail(record.nick + " " + record.type + " skipped: the nick is not a usable file name");
            return false;
        case Plan::Later:
            if (loaded.count(record.nick)) {
                wb.detail(record.nick + " " + type + " listed again: the first record kept");
                return false;
            }
            // The first record left no file at all: this one may still give one.
            DownloadPinger(wb, type, record.nick, record.url, path);
            break;
        case Plan::Fetch:
            wb.detail(record.nick + " " + type + " Downloading ");
            ReportDownload(wb, type, record.nick, results[plan.requestOf[i]], plan.earlier[plan.requestOf[i]]);
            break;
    }
    // A pinger not reached is loaded without a file (it gives no stats),
    // unless its file could not be made at all.
    const bool unsavable = plan.plans[i] == Plan::Fetch && results[plan.requestOf[i]].saveFailed;
    std::error_code ec;
    return (std::filesystem::exists(path, ec) || (wb.notReached(record.nick) && !unsavable)) &&
           !loaded.count(record.nick);
}

}  // namespace

long LoadPingersStep(WorkbenchCore& wb, int columns) {
    Table& pingers = wb.table(kPingersTable);
    pingers.reset();
    const std::string& type = wb.statsType();
    const auto listPath = wb.dataPath("Pingers.lst");
    std::string failure;
    const auto list = ReadPingersList(listPath, &failure);

    // What a killed run left behind: this program's scratch files, and those
    // of the older naming beside this type's files.
    std::vector<std::string> fileNames;
    if (list) {
        for (const auto& record : list->records)
            if (record.type == type && UsableNick(record.nick)) fileNames.push_back(StatsFileName(type, record.nick));
    }
    RemoveStaleScratchFiles(wb.dataFolder(), fileNames);

    if (!list) {
        wb.messages().critical(failure);
        wb.noteListMissing(listPath.string());
        return 0;
    }
    NoteListAsRead(wb, *list, listPath);
    NoteIfNothingListed(wb, list->records, type);

    const auto& records = list->records;
    DownloadPlan plan = PlanDownloads(wb, records, type);
    const auto results = RunTransfers(plan.requests, 0, WaitingLine(wb, std::move(plan.fetched)));

    // The lines and rows, in the order of the list.
    std::unordered_set<std::string> loaded;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!ReportRecord(wb, records[i], i, plan, results, loaded)) continue;
        loaded.insert(records[i].nick);
        const int row = pingers.addRow(columns);
        pingers.setText(kListNick, row, records[i].nick);
        pingers.setText(kListUrl, row, records[i].url);
    }
    return wb.count(kPingersTable);
}

long FixLineEndsStep(WorkbenchCore& wb) {
    if (wb.notLoaded(kPingersTable)) return 0;
    const Table& pingers = wb.table(kPingersTable);
    const std::string& type = wb.statsType();
    for (int r = 0; r < pingers.rowCount(); ++r) {
        const std::string nick = pingers.text(kListNick, r);
        const auto path = wb.dataPath(StatsFileName(type, nick));
        wb.detail(nick + " " + type + " being LfToCrLf 'ed");
        std::int32_t length = 0, firstLine = 0;
        std::error_code ec;
        // A pinger not reached and never copied has no file: nothing to repair.
        const bool noFile = wb.notReached(nick) && !std::filesystem::exists(path, ec);
        try {
            if (!noFile) LfToCrLf(path, length, firstLine, wb.messages(), IsKeyType(type));
        } catch (const LineEndRewriteError& e) {
            // Read, but the repaired file could not replace it: the old one stays.
            wb.messages().critical(path.string() + " cannot be rewritten: " + e.code().message());
            continue;
        } catch (const std::filesystem::filesystem_error& e) {
            // Missing, or not a regular file (never waited on).
            wb.messages().critical(ReadFailureText(path, e.code()));
        }
        wb.detail(nick + " " + type + " succesfully LfToCrLf 'ed " + std::to_string(length) + " " +
                  std::to_string(firstLine));
    }
    return pingers.rowCount();
}

std::string ShortenWaitingLine(const std::string& line, const std::function<bool(const std::string&)>& fits) {
    const std::size_t at = line.find(kWaitingFor);
    if (fits(line) || at == std::string::npos) return line;
    const std::string head = line.substr(0, at + kWaitingFor.size());
    std::vector<std::string> names;
    for (std::size_t from = head.size(); from <= line.size();) {
        const std::size_t comma = std::min(line.find(", ", from), line.size());
        names.push_back(line.substr(from, comma - from));
        from = comma + 2;
    }
    // The first names and the last stay; those between go, one at a time.
    for (std::size_t shown = names.size() - 1; shown-- > 0;) {
        std::string text = head;
        for (std::size_t k = 0; k < shown; ++k) text += names[k] + ", ";
        text += "\u2026 " + names.back() + " (" + std::to_string(names.size() - shown - 1) + " more)";
        if (fits(text) || shown == 0) return text;
    }
    return line;
}

}  // namespace parlux
