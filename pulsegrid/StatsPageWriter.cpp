// The comparison pages of one stats type: the direct and reverse text pages,
// the short capability-strings page and the direct web page.
#include "pulsegrid/StatsPageWriter.h"

#include <string>
#include <string_view>
#include <vector>

#include "common/core/SiteConfig.h"
#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "common/core/Table.h"
#include "common/core/TextFields.h"
#include "common/core/TextLines.h"
#include "pulsegrid/StatsColumns.h"
#include "workbench/Grid.h"

namespace parlux {

namespace {

const std::string kCrLf = "\r\n";

// The pages' widths, in characters. The direct page: a remailer's name on the
// left (kRemailerNameWidth), then one column per pinger. The reverse pages: a
// pinger's nick and update time on the left, then one column per remailer.
constexpr int kDirectCellV1 = 16;
constexpr int kDirectCellV2 = 12;
constexpr int kReverseLabel = 29;
constexpr int kReverseLabelNick = 10;
constexpr int kReverseCellV1 = 29;
constexpr int kReverseCellV2 = 42;
constexpr int kCapsCell = 15;

// What the direct pages show of a stats text: a version-1 text's last 16
// characters (on the web page its first 8 and last 7); a version-2 text's
// latency and uptime.
constexpr std::size_t kV1Tail = 16;
constexpr std::size_t kV1TailFirst = 8;
constexpr std::size_t kV1TailLast = 7;
struct Piece {
    std::size_t start;  // from 1
    std::size_t length;
};
constexpr Piece kV2Latency{15, 5};
constexpr Piece kV2Uptime{37, 6};
std::string_view PieceOf(std::string_view text, Piece piece) { return Mid(text, piece.start, piece.length); }
// A pinger's update time "YYYY/MM/DD HH:NN:SS": its date and its time.
std::string_view DateOf(std::string_view stamp) { return Left(stamp, 10); }
std::string_view TimeOf(std::string_view stamp) { return Right(stamp, 8); }

// Cells are found by pinger and remailer, so a grid changed out of order can
// never put a figure under the wrong pinger. In a finished grid the cell of
// pinger i and remailer j is row j × pingers + i; one pass over the rows takes
// every such row that holds its pair, and only the pairs left over are looked
// up.
class Cells {
public:
    explicit Cells(const StatsPageInput& in) : in_(in) {
        const std::size_t pingers = static_cast<std::size_t>(pingerCount());
        const std::size_t size = pingers * static_cast<std::size_t>(remailerCount());
        texts_.assign(size, nullptr);
        const Table& stats = in.stats;
        bool misplaced = false;
        for (std::size_t row = 0; row < size; ++row) {
            const int i = static_cast<int>(row % pingers), j = static_cast<int>(row / pingers);
            const int r = static_cast<int>(row);
            if (row < static_cast<std::size_t>(stats.rowCount()) && stats.text(kStatsNick, r) == nick(i) &&
                stats.text(kStatsName, r) == remailer(j))
                texts_[row] = &stats.text(kStatsText, r);
            else
                misplaced = true;
        }
        if (!misplaced) return;
        const GridIndex index(stats, kStatsNick, kStatsName);
        static const std::string empty;
        for (std::size_t row = 0; row < size; ++row) {
            if (texts_[row]) continue;
            const int found =
                index.find(nick(static_cast<int>(row % pingers)), remailer(static_cast<int>(row / pingers)));
            texts_[row] = found < 0 ? &empty : &stats.text(kStatsText, found);
        }
    }
    int pingerCount() const { return in_.pingers.rowCount(); }
    int remailerCount() const { return in_.pingeds.rowCount(); }
    const std::string& nick(int i) const { return in_.pingers.text(kPingerNick, i); }
    const std::string& url(int i) const { return in_.pingers.text(kPingerUrl, i); }
    const std::string& update(int i) const { return in_.pingers.text(kPingerUpdate, i); }
    const std::string& remailer(int j) const { return in_.pingeds.text(0, j); }
    // The stats text of pinger i for remailer j; "" when not reported.
    const std::string& text(int i, int j) const {
        return *texts_[static_cast<std::size_t>(j) * static_cast<std::size_t>(pingerCount()) +
                       static_cast<std::size_t>(i)];
    }

private:
    const StatsPageInput& in_;
    std::vector<const std::string*> texts_;
};

std::string Dashes(int n) { return std::string(static_cast<std::size_t>(n), '-'); }

// Appends the text made width wide (PadField without the temporary).
void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
    const WidthCut cut = CutToWidth(text, width);
    out.append(text.data(), cut.bytes);
    out.append(width - cut.characters, ' ');
}

void AppendDirectCell(std::string& out, std::string_view t, bool v1) {
    if (v1) return AppendPadded(out, Right(t, kV1Tail), kDirectCellV1);
    const std::size_t before = out.size();
    out.append(PieceOf(t, kV2Latency)).append(1, ' ').append(PieceOf(t, kV2Uptime));
    out.append(kDirectCellV2 - (out.size() - before), ' ');
}

void AppendReverseCell(std::string& out, std::string_view t, bool v1) {
    if (v1) return AppendPadded(out, Right(t, kReverseCellV1), kReverseCellV1);
    AppendPadded(out, Left(t, kReverseCellV2), kReverseCellV2);
}

std::string ReverseLabel(const std::string& nick, const std::string& update) {
    return PadField(PadField(nick, kReverseLabelNick) + " " + update, kReverseLabel);
}

// The reverse layout shared by the stats and the short capability-strings pages.
std::string ReversePage(const StatsPageInput& in, const std::string& title, int width,
                        void (*cell)(std::string&, std::string_view, bool)) {
    const Cells cells(in);
    const bool v1 = IsVersion1(in.type);
    std::string page = title + in.type + "  " + in.stamp + " GMT" + kCrLf + kCrLf;
    page.reserve(static_cast<std::size_t>(cells.pingerCount() + 4) * (cells.remailerCount() + 1) * (width + 1) + 64);
    std::string names = std::string(kReverseLabel, ' ') + "|";
    std::string rule = names;
    for (int j = 0; j < cells.remailerCount(); ++j) {
        names += PadField(cells.remailer(j), width) + "|";
        rule += Dashes(width) + "|";
    }
    page += names + kCrLf + rule + kCrLf;
    for (int i = 0; i < cells.pingerCount(); ++i) {
        page += ReverseLabel(cells.nick(i), cells.update(i)) + "|";
        for (int j = 0; j < cells.remailerCount(); ++j) {
            cell(page, cells.text(i, j), v1);
            page += '|';
        }
        page += kCrLf;
    }
    return page;
}

void AppendCapsCell(std::string& out, std::string_view t, bool) { AppendPadded(out, Right(t, kCapsCell), kCapsCell); }

// A web cell: "&nbsp;" for nothing, else the piece escaped, every blank an underscore.
void AppendWebCell(std::string& out, std::string_view piece) {
    out += "    <td width=\"40\" height=\"34\">";
    if (piece.empty())
        out += "&nbsp;";
    else
        site::AppendHtml(out, piece, '_');
    out += "</td>\r\n";
}

}  // namespace

std::string DirectTextPage(const StatsPageInput& in) {
    const Cells cells(in);
    const bool v1 = IsVersion1(in.type);
    const int w = v1 ? kDirectCellV1 : kDirectCellV2;
    const std::string margin = std::string(kRemailerNameWidth, ' ') + "|";
    std::string page =
        "Direct Comparison (Pinger-Pinged) (Stats) " + in.type + "  " + in.stamp + " GMT" + kCrLf + kCrLf;
    std::string nicks = margin, dates = margin, times = margin, rule = margin;
    for (int i = 0; i < cells.pingerCount(); ++i) {
        nicks += PadField(cells.nick(i), w) + "|";
        dates += PadField(DateOf(cells.update(i)), w) + "|";
        times += PadField(std::string(TimeOf(cells.update(i))) + " GMT", w) + "|";
        rule += Dashes(w) + "|";
    }
    page += nicks + kCrLf + dates + kCrLf + times + kCrLf + rule + kCrLf;
    for (int j = 0; j < cells.remailerCount(); ++j) {
        page += PadField(cells.remailer(j), kRemailerNameWidth) + "|";
        for (int i = 0; i < cells.pingerCount(); ++i) {
            AppendDirectCell(page, cells.text(i, j), v1);
            page += '|';
        }
        page += kCrLf;
    }
    return page;
}

std::string ReverseTextPage(const StatsPageInput& in) {
    return ReversePage(in, "Reverse Comparison (Pinged-Pinger) (Stats) ",
                       IsVersion1(in.type) ? kReverseCellV1 : kReverseCellV2, AppendReverseCell);
}

std::string ReverseCapsPage(const StatsPageInput& in) {
    return ReversePage(in, "Reverse Comparison (Pinged-Pinger) (CapStrings Short) ", kCapsCell, AppendCapsCell);
}

std::string DirectWebPage(const StatsPageInput& in) {
    const Cells cells(in);
    const bool v1 = IsVersion1(in.type);
    const std::string site = site::Current().site;
    const std::string td = "    <td width=\"40\" height=\"34\">";
    std::string p;
    p.reserve(static_cast<std::size_t>(cells.pingerCount()) * cells.remailerCount() * 80 + 4096);
    auto line = [&p](const std::string& text) { p.append(text).append(kCrLf); };
    p += site::PageHead(
        "Comparison between Statistics from different Remailer pingers",
        "stats, statistics, remailer, ,comparison, pingers, reliability, anonymous, nym, mixmaster, PGP");
    line("<h3 align=\"left\"><font color=\"#008000\">Direct Comparison (Pinger-Pinged) (Stats) " + in.type + " __ __ " +
         in.stamp + " GMT" + ".</font></h3>");
    line("<font color=\"#FF00FF\">Cached Data only available at <a href=\"" + site + "/Parlux/index.html" + "\"> " +
         site + "/Parlux/Pingers.html" + " </a> i.e. NOT on mirrors.</font><br>");
    p += site::MailNotice();
    p += site::TableStart();
    line("  <tr>");
    line(td + " </td>");
    for (int i = 0; i < cells.pingerCount(); ++i) {
        const std::string& u = cells.update(i);
        line("    <td width=\"40\" height=\"34\" colspan=\"2\"><strong><a href=\"" + cells.url(i) +
             "\" TARGET=\"_blank\">" + cells.nick(i) + "</a></font></strong> <strong><a href=\"" +
             StatsFileName(in.type, cells.nick(i)) + "\" TARGET=\"_blank\">K</a></font></strong> " +
             std::string(DateOf(u)) + " " + std::string(TimeOf(u)) + "_GMT</td>");
    }
    line("  </tr>");
    for (int j = 0; j < cells.remailerCount(); ++j) {
        line("  <tr>");
        line(td + "<strong><font color=\"#0000FF\">" + site::HtmlEscape(cells.remailer(j)) + "</font></strong></td>");
        for (int i = 0; i < cells.pingerCount(); ++i) {
            const std::string_view t = cells.text(i, j);
            if (v1) {
                const std::string_view tail = Right(t, kV1Tail);
                AppendWebCell(p, Left(tail, kV1TailFirst));
                AppendWebCell(p, Right(tail, kV1TailLast));
            } else {
                AppendWebCell(p, PieceOf(t, kV2Latency));
                AppendWebCell(p, PieceOf(t, kV2Uptime));
            }
        }
        line("  </tr>");
    }
    line("</table>");
    line("</div>");
    p += site::PageFoot();
    return p;
}

}  // namespace parlux
