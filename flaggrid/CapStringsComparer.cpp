#include "flaggrid/CapStringsComparer.h"

#include <algorithm>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "common/core/DateTime.h"
#include "common/core/GmtOffset.h"
#include "common/core/PingersList.h"
#include "common/core/QuickSort.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/TextLines.h"
#include "common/core/TextReplace.h"
#include "common/core/Transfers.h"
#include "workbench/BlockPage.h"
#include "workbench/GridSteps.h"
#include "workbench/PingerSteps.h"
#include "workbench/SharedActions.h"

namespace parlux {

namespace fs = std::filesystem;

const GridColumns CapStringsProcedures::kGrid{kCapNick, kCapName, kCapKey, 5, kCapPingerNick};

WorkbenchDescription CapStringsProcedures::Describe() {
    WorkbenchDescription d;
    d.program = "Flaggrid";
    d.caption = "Quill's Compare CapStrings";
    d.dumpLetter = 'C';
    d.tables = {TableDef{"Pingers", 5}, TableDef{"Pingeds", 1}, TableDef{"CapStrings", 5}};
    d.choiceCaption = "Choose";
    d.resetTooltip = "Reinitializes Arrays and Counters + Erases Dump Files if any";
    d.hyperTooltip = "All ?? (just here for symmetric programming purpose)";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View Compiled Output Files";
    d.outputViewMinimized = true;  // the report opens like a dump
    d.imageInChoiceFrame = true;   // the "Choose" frame holds H Y P and the image
    return d;
}

const std::vector<ComparerAction<CapStringsProcedures>>& CapStringsProcedures::Actions() {
    using P = CapStringsProcedures;
    using R = ResultKind;
    namespace a = shared_actions;
    static const std::vector<ComparerAction<P>> actions = {
        {.step = &P::LOA_Pingers,
         .def = {.name = "LOA_Pingers",
                 .tooltip = "Load PingersArray from Preexisting Downloaded Files",
                 .result = R::Count,
                 .dumpTable = kPingersTable}},
        {&P::SRT_Pingers, a::SortPingers("Sort Pingers Array")},
        {&P::LOA_CapStrings, a::LoadMain("CapStrings", "Load CapStringsArray")},
        {&P::LOA_Pingeds, a::LoadPingeds()},
        {&P::SRT_Pingeds, a::SortPingeds()},
        {&P::EXP_CapStrings, a::ExpandMain("CapStrings", "Expand CapStringsArray (Creates Missing blank cells)")},
        {&P::REV_CapStrings,
         a::ReverseMain("CapStrings", "Reverse CapStringsArray (Fills the column data used for ulterior sort)")},
        {&P::SRT_CapStrings, a::SortMain("CapStrings", "Sort CapStrings Array")},
        {&P::PRT_Compil, a::PrintCompil("Print Compiled Data to disk")},
    };
    return actions;
}

std::vector<std::string> CapStringsProcedures::OutputPages() const { return {kReportName}; }

namespace {

// The remailer lists a pinger can be compared by: the version-1 Cypherpunk
// list and both version-2 lists (the version-1 Mixmaster list has no
// capability lines).
bool ComparedType(const std::string& type) {
    const StatsTypeInfo* info = FindStatsType(type);
    return info != nullptr && !info->keys && (info->network == Network::Cpunk || info->version == 2);
}

// A file time as the local date and time, to the second.
DateTime LocalDateTime(fs::file_time_type fileTime) {
    using namespace std::chrono;
    const auto system = floor<seconds>(file_clock::to_sys(fileTime));
    const std::time_t seconds = system.time_since_epoch().count();
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    return MakeDateTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                        parts.tm_sec);
}

}  // namespace

bool ParseCapabilityLine(const std::string& pageLine, CapabilityLine& out) {
    std::string line = ReplaceText(pageLine, "&quot;", "\"");
    line = ReplaceText(line, "&lt;", "<");
    line = ReplaceText(line, "&gt;", ">");
    line = ReplaceText(line, "? ", "");

    const auto npos = std::string::npos;
    const std::size_t nameOpen = line.find('"');
    if (nameOpen == npos) return false;
    const std::size_t nameClose = line.find('"', nameOpen + 1);
    if (nameClose == npos) return false;
    const std::size_t addressOpen = line.find('<');
    if (addressOpen == npos) return false;
    const std::size_t addressClose = line.find('>', addressOpen + 1);
    if (addressClose == npos) return false;
    // The character right after ">" (a blank) is not part of the capabilities.
    const std::size_t textStart = addressClose + 2;
    if (textStart > line.size()) return false;
    const std::size_t textEnd = line.find('"', textStart);
    if (textEnd == npos) return false;

    out.name = line.substr(nameOpen + 1, nameClose - nameOpen - 1);
    out.address = line.substr(addressOpen + 1, addressClose - addressOpen - 1);
    out.capabilities = line.substr(textStart, textEnd - textStart);
    return true;
}

// ---------------------------------------------------------------- pingers

long CapStringsProcedures::LOA_Pingers() {
    pingers().reset();
    // What a killed run left behind: the scratch files of its report.
    RemoveStaleScratchFiles(wb_.dataFolder());
    const auto listPath = wb_.dataPath("Pingers.lst");
    std::string failure;
    const auto list = ReadPingersList(listPath, &failure);
    if (!list) {
        wb_.messages().critical(failure);
        wb_.noteListMissing(listPath.string());
        return 0;
    }
    NoteListAsRead(wb_, *list, listPath);
    if (std::none_of(list->records.begin(), list->records.end(),
                     [](const PingerRecord& record) { return ComparedType(record.type); }))
        wb_.noteNothingListed();

    // nick -> its row and the full-resolution time of the page now in it.
    std::unordered_map<std::string, std::pair<int, fs::file_time_type>> chosen;
    for (const auto& record : list->records) {
        if (!ComparedType(record.type)) continue;
        if (!UsableNick(record.nick)) {
            wb_.detail(record.nick + " " + record.type + " skipped: the nick is not a usable file name");
            continue;
        }
        const auto path = wb_.dataPath(StatsFileName(record.type, record.nick));
        std::error_code ec;
        // An empty file is what a failed first download leaves: no page, so
        // never a pinger's newest.
        if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) == 0 || ec) continue;
        const fs::file_time_type time = fs::last_write_time(path, ec);
        if (ec) continue;

        int row;
        auto it = chosen.find(record.nick);
        if (it != chosen.end()) {
            // Only a strictly newer page replaces the one chosen: equal times keep the earlier record.
            if (!(it->second.second < time)) continue;
            row = it->second.first;
            it->second.second = time;
        } else {
            row = pingers().addRow(5);
            chosen.emplace(record.nick, std::make_pair(row, time));
        }
        pingers().setText(kCapPingerType, row, record.type);
        pingers().setText(kCapPingerNick, row, record.nick);
        pingers().setText(kCapPingerUrl, row, record.url);
        pingers().setText(kCapPingerPath, row, path.string());
        pingers().setDate(kCapPingerDate, row, LocalDateTime(time));
    }
    return wb_.count(kPingersTable);
}

long CapStringsProcedures::SRT_Pingers() {
    QuickSort(pingers(), kCapPingerNick, 0, pingers().upperRow());
    return 0;
}

// ---------------------------------------------------------------- capability strings

long CapStringsProcedures::LOA_CapStrings() {
    if (wb_.notLoaded(kPingersTable)) return 0;
    capStrings().reset();
    // One row per pinger and remailer: a page that lists a remailer again keeps its first line.
    GridIndex index(Table{}, 0, 0);
    long added = 0;
    for (int r = 0; r < pingers().rowCount(); ++r) {
        const std::string nick = pingers().text(kCapPingerNick, r);
        const std::string page = pingers().text(kCapPingerPath, r);
        const auto lines = ReadLines(page);
        if (!lines) {
            wb_.detail(nick + " " + page + " cannot be opened: pinger skipped");
            continue;
        }
        for (const std::string& line : *lines) {
            if (!line.starts_with("$remailer{")) continue;
            CapabilityLine cap;
            if (!ParseCapabilityLine(line, cap)) {
                wb_.detail(nick + " capability line skipped, it cannot be cut: " + line);
                continue;
            }
            const int row = capStrings().loaded() ? capStrings().rowCount() : 0;
            if (!index.insert(nick, cap.name, row)) {
                wb_.detail(nick + " " + cap.name + " listed again: the first line kept");
                continue;
            }
            capStrings().addRow(5);
            capStrings().setText(kCapNick, row, nick);
            capStrings().setText(kCapName, row, std::move(cap.name));
            capStrings().setText(kCapAddress, row, std::move(cap.address));
            capStrings().setText(kCapText, row, std::move(cap.capabilities));
            ++added;
        }
    }
    return added;
}

// The grid steps shared by the comparers.
long CapStringsProcedures::LOA_Pingeds() { return LoadPingedsStep(wb_, kGrid); }
long CapStringsProcedures::SRT_Pingeds() { return SortPingedsStep(wb_); }
long CapStringsProcedures::EXP_CapStrings() { return ExpandStep(wb_, kGrid); }
long CapStringsProcedures::REV_CapStrings() { return SortKeysStep(wb_, kGrid); }
long CapStringsProcedures::SRT_CapStrings() { return SortMainStep(wb_, kGrid); }

// ---------------------------------------------------------------- report

std::string CapStringsReport(const Table& pingers, const Table& pingeds, const Table& capStrings,
                             const std::string& stamp) {
    return BlockPage("Reverse Comparison (Pinged-Pinger) (CapStrings Long) " + stamp + " GMT", pingers, pingeds,
                     capStrings, CapStringsProcedures::kGrid, BlockFields{kCapAddress, kCapText, 50, 130});
}

long CapStringsProcedures::PRT_Compil() {
    if (GridNotReady(wb_)) return 0;
    const std::string report = CapStringsReport(pingers(), pingeds(), capStrings(), FormatStamp(GmtNow(wb_.clock())));
    return WritePage(wb_, kReportName, report) ? 1 : 0;
}

RecordedRun CapStringsProcedures::PagesShown() const {
    RecordedRun run = RunHeader(wb_, std::string(kCapStringsType));
    // Flaggrid reads the pages the other programs fetched: no pinger is reached here.
    const Table& pingers = wb_.table(kPingersTable);
    for (int r = 0; r < wb_.count(kPingersTable); ++r)
        run.pingers.push_back({pingers.text(kCapPingerNick, r), PingerState::Local});
    const Table& caps = wb_.table(kMainTable);
    run.figures.reserve(static_cast<std::size_t>(wb_.count(kMainTable)));
    for (int r = 0; r < wb_.count(kMainTable); ++r) {
        if (caps.text(kCapAddress, r).empty() && caps.text(kCapText, r).empty()) continue;
        Figure& f = run.figures.emplace_back();
        f.pinger = caps.text(kCapNick, r);
        f.remailer = caps.text(kCapName, r);
        f.caps = caps.text(kCapText, r);
    }
    return run;
}

}  // namespace parlux
