#include "lockgrid/KeysComparer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/core/GmtOffset.h"
#include "common/core/QuickSort.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/TextReplace.h"
#include "lockgrid/KeyLister.h"
#include "pulsegrid/workbench/BlockPage.h"
#include "pulsegrid/workbench/GridSteps.h"
#include "pulsegrid/workbench/PingerSteps.h"
#include "pulsegrid/workbench/TextLines.h"

namespace parlux {

const GridColumns KeysProcedures::kGrid{kKeyNick, kKeyItem, kKeySort, 5, kListNick};

namespace {

bool IsPgpType(const std::string& type) { return type == "K-RSA" || type == "K-DSS"; }

// The PGP library writes its own diagnostics (a signature it cannot check, a
// text between two armored blocks) to the standard error, where a run without
// a display shows its messages: they are kept from it while a file is read.
// What the reader could not read is reported in a detail line instead.
class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStandardError() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_ = -1;
};

std::vector<std::string> ListQuietly(const std::string& bytes, std::string_view algorithm, std::string& error,
                                     std::vector<std::string>& notes) {
    const QuietStandardError quiet;
    return ListPgpKeys(bytes, &error, algorithm, &notes);
}

// librnp's name of the algorithm a keyring of the type holds.
std::string_view KeyringAlgorithm(const std::string& type) { return type == "K-DSS" ? "DSA" : "RSA"; }

}  // namespace

WorkbenchDescription KeysProcedures::Describe() {
    WorkbenchDescription d;
    d.program = "Lockgrid";
    d.caption = "Quill's Compare Keys";
    d.dumpLetter = 'K';
    d.tables = {TableDef{"Pingers", 2}, TableDef{"Pingeds", 1}, TableDef{"Keys", 5}};
    for (const std::string_view code : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"}) {
        const auto it = std::find_if(kStatsTypes.begin(), kStatsTypes.end(),
                                     [code](const StatsTypeInfo& t) { return t.code == code; });
        d.types.push_back({std::string(it->code), std::string(it->caption)});
    }
    d.choiceCaption = "Choose KeyRings";
    d.superTooltip = "All Actions";
    d.resetTooltip = "Reinitializes Arrays + Counters + Erases Dumps if any";
    d.hyperTooltip = "All Keyrings";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View OutPutFile";
    d.outputViewMinimized = true;  // the page opens minimized, as a dump does
    return d;
}

const std::vector<ComparerAction<KeysProcedures>>& KeysProcedures::Actions() {
    using P = KeysProcedures;
    using R = ResultKind;
    static const std::vector<ComparerAction<P>> actions = {
        {.step = &P::LOA_Pingers,
         .def = {.name = "LOA_Pingers",
                 .tooltip = "Download Keyrings+Load PingersArray",
                 .result = R::Count,
                 .dumpTable = kPingersTable,
                 .locksChoice = true}},
        {.step = &P::FIX_LfToCrLf,
         .def = {.name = "FIX_LfToCrLf", .tooltip = "Fixes the Downloaded File if necessary", .result = R::None}},
        {.step = &P::SRT_Pingers,
         .def = {.name = "SRT_Pingers",
                 .tooltip = "Sorts PingersArray",
                 .result = R::None,
                 .sortsTable = kPingersTable,
                 .blankDetail = false}},
        {.step = &P::LOA_Keys,
         .def = {.name = "LOA_Keys", .tooltip = "Loads KeysArray", .result = R::Count, .dumpTable = kMainTable}},
        {.step = &P::LOA_Pingeds,
         .def =
             {.name = "LOA_Pingeds", .tooltip = "Load PingedsArray", .result = R::Count, .dumpTable = kPingedsTable}},
        {.step = &P::SRT_Pingeds,
         .def =
             {.name = "SRT_Pingeds", .tooltip = "Sort PingedsArray", .result = R::None, .sortsTable = kPingedsTable}},
        {.step = &P::EXP_Keys,
         .def = {.name = "EXP_Keys",
                 .tooltip = "Expand KeysArray (Creates missing blank cells)",
                 .result = R::Count,
                 .dumpTable = kMainTable}},
        {.step = &P::REV_Keys,
         .def = {.name = "REV_Keys",
                 .tooltip = "Reverse Keys (Fills the column of data used by final Sort of KeysArray)",
                 .result = R::Count,
                 .dumpTable = kMainTable}},
        {.step = &P::SRT_Keys,
         .def = {.name = "SRT_Keys", .tooltip = "Sorts KeysArray", .result = R::None, .sortsTable = kMainTable}},
        {.step = &P::PRT_Compil,
         .def = {.name = "PRT_Compil", .tooltip = "Prints Compiled info to Disk", .result = R::Bool}},
    };
    return actions;
}

std::vector<std::string> KeysProcedures::OutputPages() const { return {"Comp_RK_" + type() + ".txt"}; }

// ---------------------------------------------------------------- key lines

PgpKeyCells CutPgpKeyLine(std::string_view line) {
    PgpKeyCells cells;
    cells.keyId = Mid(line, 11, 8);
    const std::size_t open = line.find('<');
    if (open != std::string_view::npos) {
        const std::size_t close = line.find('>', open + 1);
        if (close != std::string_view::npos) cells.address = line.substr(open + 1, close - open - 1);
    }
    cells.detail = ReplaceText(Mid(line, 6, line.size()), "\"", "");
    return cells;
}

namespace {

// Control characters of a hostile key list (an escape sequence that retitles
// a terminal, say) reach no page: they are written as "?", as those of a PGP
// user ID are.
std::string Printable(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '?';
    }
    return out;
}

}  // namespace

MixKeyCells CutMixKeyLine(std::string_view raw) {
    const std::string printable = Printable(raw);
    const std::string_view line = printable;
    MixKeyCells cells;
    const auto npos = std::string_view::npos;
    const std::size_t b1 = line.find(' ');
    const std::size_t b2 = b1 == npos ? npos : line.find(' ', b1 + 1);
    const std::size_t b3 = b2 == npos ? npos : line.find(' ', b2 + 1);
    if (b1 != npos) {
        cells.name = line.substr(0, b1);
        for (char& c : cells.name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (b2 != npos) cells.address = line.substr(b1 + 1, b2 - b1 - 1);
    if (b3 != npos) cells.keyId = line.substr(b2 + 1, b3 - b2 - 1);
    return cells;
}

// ---------------------------------------------------------------- pingers

long KeysProcedures::LOA_Pingers() { return LoadPingersStep(wb_, 2); }

long KeysProcedures::FIX_LfToCrLf() { return FixLineEndsStep(wb_); }

long KeysProcedures::SRT_Pingers() {
    QuickSort(pingers(), kListNick, 0, pingers().upperRow());
    return 0;
}

// ---------------------------------------------------------------- keys

long KeysProcedures::LOA_Keys() { return IsPgpType(type()) ? LoadPgpKeys() : LoadMixKeys(); }

bool KeysProcedures::addRow(const std::string& nick, std::string item, std::string address, std::string detail) {
    const int row = keys().loaded() ? keys().rowCount() : 0;
    if (!recorded_.insert(nick, item, row)) return false;
    keys().addRow(5);
    keys().setText(kKeyNick, row, nick);
    keys().setText(kKeyItem, row, std::move(item));
    keys().setText(kKeyAddress, row, std::move(address));
    keys().setText(kKeyDetail, row, std::move(detail));
    return true;
}

bool KeysProcedures::AddPgpKeyRow(const std::string& nick, std::string_view line) {
    PgpKeyCells cells = CutPgpKeyLine(line);
    return addRow(nick, std::move(cells.keyId), std::move(cells.address), std::move(cells.detail));
}

bool KeysProcedures::AddMixKeyRow(const std::string& nick, std::string_view line) {
    MixKeyCells cells = CutMixKeyLine(line);
    return addRow(nick, std::move(cells.name), std::move(cells.address), std::move(cells.keyId));
}

long KeysProcedures::loadKeys(const ReadKeys& read) {
    if (wb_.notLoaded(kPingersTable)) return 0;
    keys().reset();
    recorded_ = GridIndex();
    long added = 0;
    for (int r = 0; r < pingers().rowCount(); ++r) {
        const std::string nick = pingers().text(kListNick, r);
        const std::string progress = "LOA_KeysArray " + nick + " " + type();
        wb_.detail(progress + " in Progress");
        const auto path = wb_.dataPath(StatsFileName(type(), nick));
        if (const auto content = ReadFileText(path))
            added += read(nick, progress + " " + path.string(), *content);
        else
            wb_.detail(progress + " " + path.string() + " cannot be opened");
        wb_.detail(progress + " Succesful");
    }
    return added;
}

long KeysProcedures::LoadPgpKeys() {
    return loadKeys([this](const std::string& nick, const std::string& file, const std::string& bytes) {
        long added = 0;
        std::string error;
        std::vector<std::string> notes;
        for (const std::string& line : ListQuietly(bytes, KeyringAlgorithm(type()), error, notes))
            if (AddPgpKeyRow(nick, line)) ++added;
        for (const std::string& note : notes) wb_.detail(file + " " + note);
        if (!error.empty()) wb_.detail(file + " not read as PGP keys: " + error);
        return added;
    });
}

long KeysProcedures::LoadMixKeys() {
    return loadKeys([this](const std::string& nick, const std::string&, const std::string& content) {
        long added = 0;
        for (const std::string_view line : SplitLineViews(content))
            if (line.size() >= kShortestMixKeyLine && AddMixKeyRow(nick, line)) ++added;
        return added;
    });
}

// The grid steps shared by the comparers.
long KeysProcedures::LOA_Pingeds() { return LoadPingedsStep(wb_, kGrid); }
long KeysProcedures::SRT_Pingeds() { return SortPingedsStep(wb_); }
long KeysProcedures::EXP_Keys() { return ExpandStep(wb_, kGrid); }
long KeysProcedures::REV_Keys() { return SortKeysStep(wb_, kGrid); }
long KeysProcedures::SRT_Keys() { return SortMainStep(wb_, kGrid); }

// ---------------------------------------------------------------- page

std::string KeysPage(const Table& pingers, const Table& pingeds, const Table& keys, const std::string& type,
                     const std::string& stamp) {
    const int detailWidth = IsPgpType(type) ? 120 : 32;
    return BlockPage("Reverse Comparison (Pinged-Pinger) (Keys " + type + ") " + stamp + " GMT", pingers, pingeds, keys,
                     KeysProcedures::kGrid, BlockFields{kKeyAddress, kKeyDetail, 40, detailWidth});
}

long KeysProcedures::PRT_Compil() {
    if (GridNotReady(wb_)) return 0;
    const std::string page = KeysPage(pingers(), pingeds(), keys(), type(), FormatStamp(GmtNow(wb_.clock())));
    return WritePage(wb_, OutputPages().front(), page) ? 1 : 0;
}

}  // namespace parlux
