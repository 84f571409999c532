#include "lockgrid/KeysComparer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "common/core/GmtOffset.h"
#include "common/core/QuickSort.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/TextFields.h"
#include "common/core/TextLines.h"
#include "common/core/TextReplace.h"
#include "lockgrid/KeyLister.h"
#include "workbench/BlockPage.h"
#include "workbench/GridSteps.h"
#include "workbench/PingerSteps.h"
#include "workbench/SharedActions.h"

namespace parlux {

const GridColumns KeysProcedures::kGrid{kKeyNick, kKeyItem, kKeySort, 5, kListNick};

namespace {

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
    for (const std::string_view code : TypeCodesByNetwork(true))
        d.types.push_back({std::string(code), std::string(FindStatsType(code)->caption)});
    d.choiceCaption = "Choose KeyRings";
    shared_actions::SetCommonTooltips(d);
    d.hyperTooltip = "All Keyrings";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO";
    d.outputViewMinimized = true;  // the page opens minimized, as a dump does
    return d;
}

const std::vector<ComparerAction<KeysProcedures>>& KeysProcedures::Actions() {
    using P = KeysProcedures;
    namespace a = shared_actions;
    // One action a line, in SUPER's order.
    // clang-format off
    static const std::vector<ComparerAction<P>> actions = {
        {&P::LOA_Pingers, a::LoadPingers("Keyrings")},
        {&P::FIX_LfToCrLf, a::FixLfToCrLf()},
        {&P::SRT_Pingers, a::SortPingers()},
        {&P::LOA_Keys, a::LoadMain("Keys")},
        {&P::LOA_Pingeds, a::LoadPingeds()},
        {&P::SRT_Pingeds, a::SortPingeds()},
        {&P::EXP_Keys, a::ExpandMain("Keys")},
        {&P::REV_Keys, a::ReverseMain("Keys")},
        {&P::SRT_Keys, a::SortMain("Keys")},
        {&P::PRT_Compil, a::PrintCompil()},
    };
    // clang-format on
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

long KeysProcedures::LOA_Keys() { return IsPgpKeyType(type()) ? LoadPgpKeys() : LoadMixKeys(); }

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
        const std::vector<std::string> listed = ListQuietly(bytes, KeyringAlgorithm(type()), error, notes);
        for (const std::string& line : listed)
            if (AddPgpKeyRow(nick, line)) ++added;
        for (const std::string& note : notes) wb_.detail(file + " " + note);
        if (!error.empty()) wb_.detail(file + " not read as PGP keys: " + error);
        // A ring read up to a point: the rest of its keys are missing from the page.
        if (!error.empty() && !listed.empty())
            wb_.noteCut(nick + " " + type() + ": only the first " + std::to_string(listed.size()) + " keys read");
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
    const int detailWidth = IsPgpKeyType(type) ? 120 : 32;
    return BlockPage("Reverse Comparison (Pinged-Pinger) (Keys " + type + ") " + stamp + " GMT", pingers, pingeds, keys,
                     KeysProcedures::kGrid, BlockFields{kKeyAddress, kKeyDetail, 40, detailWidth});
}

long KeysProcedures::PRT_Compil() {
    if (GridNotReady(wb_)) return 0;
    const std::string page = KeysPage(pingers(), pingeds(), keys(), type(), FormatStamp(GmtNow(wb_.clock())));
    return WritePage(wb_, OutputPages().front(), page) ? 1 : 0;
}

namespace {

// "1024/ABCDEF12 2003/01/01  user <address> [revoked]": size, date, state.
void PgpDetail(const std::string& detail, Figure& f) {
    const std::string text = Trim(detail);
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) f.keySize = Trim(text.substr(0, slash));
    const std::size_t blank = text.find(' ');
    if (blank != std::string::npos) f.keyDate = text.substr(blank + 1, 10);
    f.keyState = text.ends_with(" [revoked]") ? "revoked" : text.ends_with(" [expired]") ? "expired" : "valid";
}

void Join(std::string& to, const std::string& more) {
    if (to.empty() || to == more) {
        to = more;
    } else {
        to += "," + more;
    }
}

}  // namespace

// One figure per pinger and remailer: for the PGP types the remailer is the
// key's address (a pinger may carry more than one key for it: their IDs are
// joined), for the Mix types the remailer's name.
RecordedRun KeysProcedures::PagesShown() const {
    RecordedRun run = RunHeader(wb_, type());
    run.pingers = DownloadedPingers(wb_, type());
    const Table& keys = wb_.table(kMainTable);
    const bool pgp = IsPgpKeyType(type());
    std::map<std::pair<std::string, std::string>, Figure> figures;
    for (int r = 0; r < wb_.count(kMainTable); ++r) {
        const std::string& address = keys.text(kKeyAddress, r);
        const std::string& detail = keys.text(kKeyDetail, r);
        if (address.empty() && detail.empty()) continue;  // a pair the pinger does not carry
        const std::string& item = keys.text(kKeyItem, r);
        const std::string remailer = pgp && !address.empty() ? address : item;
        Figure& f = figures[{keys.text(kKeyNick, r), remailer}];
        f.pinger = keys.text(kKeyNick, r);
        f.remailer = remailer;
        if (pgp) {
            Figure one;
            PgpDetail(detail, one);
            Join(f.keyId, item);
            Join(f.keySize, one.keySize);
            Join(f.keyDate, one.keyDate);
            Join(f.keyState, one.keyState);
        } else {
            f.keyId = detail;
        }
    }
    run.figures.reserve(figures.size());
    for (auto& entry : figures) run.figures.push_back(std::move(entry.second));
    return run;
}

}  // namespace parlux
