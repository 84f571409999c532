// LOA_Stats: the stats pages of one type read into StatsArray, and the
// pingers' "Last update" times into PingersArray.
#include "pulsegrid/StatsPageParser.h"

#include "common/core/DateTime.h"
#include "common/core/StampDate.h"
#include "common/core/StatsTypes.h"
#include "common/core/TextLines.h"
#include "pulsegrid/StatsColumns.h"
#include "pulsegrid/StatsComparer.h"

namespace parlux {

namespace {

// The stats text of a version-2 line starts after the name and four more characters.
constexpr std::size_t kVersion2TextStart = kRemailerNameWidth + 4;
// The update time after its label, in this many characters.
constexpr std::size_t kStampLength = 28;

}  // namespace

std::optional<StatsPageHead> FindStatsPageHead(const std::vector<std::string_view>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (const std::string_view label : {"Last update: ", "Generated: "})
            if (lines[i].starts_with(label))
                return StatsPageHead{std::string(lines[i].substr(label.size(), kStampLength)), i + 3};
    return std::nullopt;
}

std::string_view StatsLineName(std::string_view line) {
    std::string_view name = line.substr(0, kRemailerNameWidth);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

std::string_view StatsLineText(std::string_view line, bool version2) {
    const std::size_t from = version2 ? kVersion2TextStart : kRemailerNameWidth;
    return from < line.size() ? line.substr(from) : std::string_view();
}

bool IsSkippedStatsName(std::string_view name) { return name == "nym" || name == "xgnym" || name == "bramble"; }

namespace {

// "(alpha dizum)" as its two names; nothing for what is not such a pair.
std::optional<std::pair<std::string_view, std::string_view>> ChainPair(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() < 5 || line.front() != '(' || line.back() != ')') return std::nullopt;
    line = line.substr(1, line.size() - 2);
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::string_view from = line.substr(0, blank), to = line.substr(blank + 1);
    const auto name = [](std::string_view n) {
        return !n.empty() && n.size() <= kRemailerNameWidth && n.find(' ') == std::string_view::npos;
    };
    if (!name(from) || !name(to)) return std::nullopt;
    return std::pair{from, to};
}

}  // namespace

void ReadBrokenChains(const std::vector<std::string_view>& lines, const std::string& nick,
                      std::vector<BrokenChain>& out) {
    std::size_t taken = 0;
    int chainType = 0;  // 0 outside the two sections
    for (const std::string_view line : lines) {
        if (line.starts_with("Broken type-I remailer chains:")) {
            chainType = 1;
        } else if (line.starts_with("Broken type-II remailer chains:")) {
            chainType = 2;
        } else if (chainType != 0) {
            const auto pair = ChainPair(line);
            if (!pair) {
                chainType = 0;  // the section ends with its pairs
                continue;
            }
            if (taken++ == kMostBrokenChains) return;
            out.push_back({nick, chainType, std::string(pair->first), std::string(pair->second)});
        }
    }
}

bool StatsProcedures::AddStatsLine(const std::string& nick, std::string_view line) {
    const std::string_view name = StatsLineName(line);
    if (IsSkippedStatsName(name)) return false;
    if (nick != currentNick_) {
        currentNick_ = nick;
        currentNames_.clear();
        // A nick met again (a pingers table restored by hand) brings its rows along.
        if (!nicksRead_.insert(nick).second)
            for (int r = 0; r < stats().rowCount(); ++r)
                if (stats().text(kStatsNick, r) == nick) currentNames_.insert(stats().text(kStatsName, r));
    }
    if (currentNames_.find(name) != currentNames_.end()) return false;
    currentNames_.emplace(name);
    const int row = stats().addRow(kStatsColumnCount);
    stats().setText(kStatsNick, row, nick);
    stats().setText(kStatsName, row, std::string(name));
    stats().setText(kStatsText, row, std::string(StatsLineText(line, IsVersion2(type()))));
    return true;
}

long StatsProcedures::readStatsTable(const std::string& nick, const std::string& progress,
                                     const std::vector<std::string_view>& lines, std::size_t first) {
    long fromThisPage = 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty() || line == "</PRE>") break;
        if (fromThisPage == kMostRemailersPerPage) {
            // A hostile page would make the grid as big as it likes.
            wb_.detail(progress + " lines after the " + std::to_string(kMostRemailersPerPage) + "th remailer not read");
            wb_.noteCut(nick + " " + type() + ": only the first " + std::to_string(kMostRemailersPerPage) +
                        " remailers read");
            break;
        }
        if (AddStatsLine(nick, line)) ++fromThisPage;
    }
    return fromThisPage;
}

long StatsProcedures::LOA_Stats() {
    if (wb_.notLoaded(kPingersTable)) return 0;
    stats().reset();
    currentNick_.reset();
    currentNames_.clear();
    nicksRead_.clear();
    brokenChains_.clear();
    long added = 0;
    for (int r = 0; r < pingers().rowCount(); ++r) {
        const std::string nick = pingers().text(kPingerNick, r);
        const std::string progress = "LOA_StatsArray " + nick + " " + type();
        wb_.detail(progress + " in Progress");
        const auto path = wb_.dataPath(StatsFileName(type(), nick));
        std::string failure;
        const auto content = ReadFileText(path, &failure);
        if (!content) {
            // A pinger not reached and never copied: its summary line says so.
            std::error_code ec;
            if (wb_.notReached(nick) && !std::filesystem::exists(path, ec)) {
                wb_.detail(progress + " Succesful");
                continue;
            }
            wb_.messages().critical(failure);
            continue;
        }
        const auto lines = SplitLineViews(*content);
        ReadBrokenChains(lines, nick, brokenChains_);
        if (const std::optional<StatsPageHead> head = FindStatsPageHead(lines)) {
            try {
                pingers().setText(kPingerUpdate, r, FormatStamp(ParseStampDate(head->stamp)));
            } catch (const StampDateError&) {
                wb_.detail(progress + " update time not understood: " + head->stamp);
            }
            if (head->tableStart > lines.size()) {
                wb_.messages().critical(path.string() + " ends before its stats table");
            }
            added += readStatsTable(nick, progress, lines, head->tableStart);
        }
        wb_.detail(progress + " Succesful");
    }
    return added;
}

}  // namespace parlux
