#include "history/TrendPage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/core/SitePage.h"
#include "history/ChangesReport.h"

namespace parlux::history {

namespace {

// Ten colours that stay apart; pingers past the tenth get them again, dashed.
constexpr std::array<const char*, 10> kColours = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                                  "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

constexpr int kChartWidth = 300, kChartHeight = 60, kSlot = 10;

std::string Stroke(std::size_t pinger) {
    std::string s = std::string("stroke=\"") + kColours[pinger % kColours.size()] + "\"";
    if ((pinger / kColours.size()) % 2 == 1) s += " stroke-dasharray=\"4 2\"";
    return s;
}

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    std::string text = buffer;
    if (text.ends_with(".0")) text.resize(text.size() - 2);
    return text;
}

double Percent(std::int32_t hundredths) { return static_cast<double>(hundredths) / 100.0; }

std::optional<double> Median(std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

constexpr std::string_view kCellOpen = "    <td width=\"40\" height=\"34\">", kCellClose = "</td>\r\n";

std::string Cell(const std::string& content) { return std::string(kCellOpen) + content + std::string(kCellClose); }

// The rows of the page, written into one string: a large grid's page is
// tens of megabytes, and every figure's coordinates are one of a few
// thousand texts made once.
class Rows {
public:
    Rows(const TrendInput& in, std::string& out) : in_(in), out_(out), runs_(in.runGmts.size()) {
        const std::size_t slots = static_cast<std::size_t>(kTrendRuns);
        const std::size_t firstSlot = runs_ < slots ? slots - runs_ : 0;
        for (std::size_t i = 0; i < runs_; ++i)
            x_.push_back(Number(static_cast<double>((firstSlot + i) * kSlot) + kSlot / 2.0));
        for (std::size_t k = 0; k < in.pingers.size(); ++k)
            strokes_.push_back("\" fill=\"none\" " + Stroke(k) + " stroke-width=\"2\" stroke-linecap=\"round\"/>");
        const std::string w = std::to_string(kChartWidth), h = std::to_string(kChartHeight);
        const std::string middle = Number(2.0 + (kChartHeight - 4) / 2.0);
        chartHead_ = "<svg width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                     "\"><rect width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\" stroke=\"#c0c0c0\"/>";
        chartHead_ +=
            "<line x1=\"0\" y1=\"" + middle + "\" x2=\"" + w + "\" y2=\"" + middle + "\" stroke=\"#e0e0e0\"/>";
    }

    // The row of one remailer: its chart, tonight's median and spread.
    void row(std::size_t r) {
        out_ += "  <tr>\r\n";
        out_ += kCellOpen;
        out_ += "<strong><font color=\"#0000FF\">";
        site::AppendHtml(out_, in_.remailers[r]);
        out_ += "</font></strong>";
        out_ += kCellClose;
        out_ += kCellOpen;
        out_ += chartHead_;
        tonight_.clear();
        for (std::size_t k = 0; k < in_.pingers.size(); ++k) {
            const std::int32_t* values = in_.uptimes.data() + in_.firstUptime[k] + r * runs_;
            if (std::all_of(values, values + runs_, [](std::int32_t v) { return v == kNoUptime; })) continue;
            out_ += "<path d=\"";
            path(values);
            out_ += strokes_[k];
            if (runs_ && values[runs_ - 1] != kNoUptime) tonight_.push_back(Percent(values[runs_ - 1]));
        }
        out_ += "</svg>";
        out_ += kCellClose;
        const auto median = Median(tonight_);
        out_ += Cell(median ? FormatPercent(*median) + "%" : "&nbsp;");
        std::string spread = "&nbsp;";
        if (!tonight_.empty()) {
            const double points = tonight_.back() - tonight_.front();  // sorted by Median
            spread = FormatPercent(points);
            if (points > kWideSpreadPoints) spread = "<font color=\"#FF0000\"><strong>" + spread + "</strong></font>";
        }
        out_ += Cell(spread);
        out_ += "  </tr>\r\n";
    }

private:
    // The path of one pinger's figures: a new stroke after every gap; a
    // figure alone between gaps is a dot.
    void path(const std::int32_t* values) {
        bool drawing = false, first = true;
        for (std::size_t i = 0; i < runs_; ++i) {
            if (values[i] == kNoUptime) {
                drawing = false;
                continue;
            }
            const bool alone = !(i + 1 < runs_ && values[i + 1] != kNoUptime);
            out_ += drawing ? " L" : (first ? "M" : " M");
            out_ += x_[i];
            out_ += ' ';
            out_ += y(values[i]);
            if (!drawing && alone) out_ += " h0.1";
            drawing = true;
            first = false;
        }
    }
    const std::string& y(std::int32_t hundredths) {
        auto [it, added] = y_.try_emplace(hundredths);
        if (added) it->second = Number(2.0 + (100.0 - Percent(hundredths)) * (kChartHeight - 4) / 100.0);
        return it->second;
    }

    const TrendInput& in_;
    std::string& out_;
    std::size_t runs_;
    std::vector<std::string> x_, strokes_;
    std::unordered_map<std::int32_t, std::string> y_;
    std::string chartHead_;
    std::vector<double> tonight_;
};

// What the charts show, and each pinger's colour.
std::string Legend(const TrendInput& in) {
    const std::vector<std::string>& nicks = in.pingers;
    const std::size_t runs = in.runGmts.size();
    std::string p = "<p>The last " + std::to_string(runs) + " recorded runs";
    // The times come from the file like every other text: escaped.
    if (runs)
        p += ", from " + site::HtmlEscape(in.runGmts.front()) + " GMT to " + site::HtmlEscape(in.runGmts.back()) +
             " GMT";
    p += "; uptime in percent from 0 (bottom) to 100 (top), tonight at the right. The spread is the highest minus"
         " the lowest uptime tonight, in red when above " +
         FormatPercent(kWideSpreadPoints) + " points.</p>\r\n";
    p += "<p>";
    for (std::size_t k = 0; k < nicks.size(); ++k)
        p += std::string(k ? " " : "") + "<svg width=\"24\" height=\"10\"><line x1=\"0\" y1=\"5\" x2=\"24\" y2=\"5\" " +
             Stroke(k) + " stroke-width=\"3\"/></svg>&nbsp;" + site::HtmlEscape(nicks[k]);
    p += "</p>\r\n";
    return p;
}

}  // namespace

namespace {

// Where the uptimes of the runs go: a block of remailers x runs for each
// pinger met, the remailers of the page found by their numbers.
class UptimeGrid {
public:
    UptimeGrid(HistoryDb& db, TrendInput& in) : in_(in), runs_(in.runGmts.size()) {
        std::unordered_map<std::string_view, std::vector<std::size_t>> rowsByName;
        for (std::size_t r = 0; r < in.remailers.size(); ++r) rowsByName[in.remailers[r]].push_back(r);
        for (auto& [number, name] : db.names(NameTable::Remailer))
            if (auto it = rowsByName.find(name); it != rowsByName.end()) rows_.emplace(number, it->second);
        for (auto& [number, name] : db.names(NameTable::Nick)) nickNames_.emplace(number, std::move(name));
    }

    void take(const UptimePoint& point) {
        if (point.nick != lastNick_) {
            lastNick_ = point.nick;
            auto [it, added] = blocks_.try_emplace(point.nick, in_.uptimes.size());
            if (added) in_.uptimes.resize(in_.uptimes.size() + in_.remailers.size() * runs_, kNoUptime);
            block_ = it->second;
        }
        const auto rows = rows_.find(point.remailer);
        if (rows == rows_.end()) return;  // a remailer the page does not show
        // Only a file written by hand holds an uptime past these.
        const auto hundredths =
            static_cast<std::int32_t>(std::clamp<std::int64_t>(point.hundredths, -1000000, 1000000));
        for (const std::size_t r : rows->second) in_.uptimes[block_ + r * runs_ + point.run] = hundredths;
    }

    // The pingers met, in the order of their names.
    void finish() {
        std::vector<std::pair<std::string, std::size_t>> met;
        for (const auto& [nick, first] : blocks_) met.emplace_back(nickNames_.at(nick), first);
        std::sort(met.begin(), met.end());
        for (auto& [name, first] : met) {
            in_.pingers.push_back(std::move(name));
            in_.firstUptime.push_back(first);
        }
    }

private:
    TrendInput& in_;
    std::size_t runs_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> rows_;
    std::unordered_map<std::int64_t, std::string> nickNames_;
    std::unordered_map<std::int64_t, std::size_t> blocks_;
    std::int64_t lastNick_ = -1;
    std::size_t block_ = 0;
};

}  // namespace

std::string TrendPageOf(PageSource& source) {
    const Run& run = source.run();
    TrendInput in;
    in.type = run.type;
    in.stamp = source.stamp();
    in.remailers = run.remailerOrder;
    const auto runs = source.db().lastRuns(run.type, kTrendRuns);
    for (const auto id : runs) in.runGmts.push_back(source.db().gmtOf(id));
    UptimeGrid grid(source.db(), in);
    source.db().eachUptime(runs, [&grid](const UptimePoint& point) { grid.take(point); });
    grid.finish();
    return TrendPage(in);
}

std::string TrendPage(const TrendInput& in) {
    std::string p =
        site::PageHead("Uptime of the remailers over the last runs, pinger by pinger",
                       "trend, uptime, statistics, remailer, comparison, pingers, reliability, mixmaster, PGP",
                       "<meta charset=\"utf-8\">\r\n");
    // A chart's path is some ten bytes a figure.
    p.reserve(4096 + in.remailers.size() * (600 + in.pingers.size() * (100 + in.runGmts.size() * 10)));
    p += "<h3 align=\"left\"><font color=\"#008000\">Uptime Trend (Pinger-Pinged) (Stats) " +
         site::HtmlEscape(in.type) + " __ __ " + site::HtmlEscape(in.stamp) + " GMT.</font></h3>\r\n";
    p += Legend(in);
    p += site::MailNotice();
    p += site::TableStart();
    p += "  <tr>\r\n" + Cell("<strong>Remailer</strong>") + Cell("<strong>Uptime, last runs</strong>") +
         Cell("<strong>Median tonight</strong>") + Cell("<strong>Spread tonight</strong>") + "  </tr>\r\n";
    Rows rows(in, p);
    for (std::size_t r = 0; r < in.remailers.size(); ++r) rows.row(r);
    p += "</table>\r\n</div>\r\n";
    p += site::PageFoot();
    return p;
}

}  // namespace parlux::history
