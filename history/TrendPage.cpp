#include "history/TrendPage.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/core/InParallel.h"
#include "common/core/SitePage.h"
#include "history/Consensus.h"

namespace parlux::history {

namespace {

std::string TwoDecimals(double value, const char* unit) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2f %s", value, unit);
    return buffer;
}

// The pingers not reached tonight named in a row, at most these many.
constexpr std::size_t kNamedDown = 5;

constexpr std::string_view kCellOpen = "    <td width=\"40\" height=\"34\">", kCellClose = "</td>\r\n";

std::string Cell(const std::string& content) { return std::string(kCellOpen) + content + std::string(kCellClose); }

// The rows of the page, a thread's share of them: each row is written where
// it is asked, a stretch of rows into one string.
class Rows {
public:
    explicit Rows(const TrendInput& in) : in_(in), runs_(in.runGmts.size()), chart_(in.runGmts) {}

    // The row of one remailer: its charts, tonight's median and spread, and
    // the pingers whose figures tonight are a cached copy's.
    void row(std::size_t r, std::string& out) {
        out_ = &out;
        *out_ += "  <tr>\r\n";
        *out_ += kCellOpen;
        *out_ += "<strong><font color=\"#0000FF\">";
        site::AppendHtml(*out_, in_.remailers[r]);
        *out_ += "</font></strong>";
        *out_ += kCellClose;
        ChartInput uptime{ChartScale::Uptime, {}}, latency{ChartScale::Latency, {}};
        tonight_.clear();
        down_.clear();
        const RecentRuns& recent = *in_.recent;
        const std::uint32_t m = in_.rowRemailer[r];
        const auto series = m == TrendInput::kNotRecorded ? std::span<const std::uint32_t>() : recent.ofRemailer(m);
        // Room made first: the charts' series are spans of it.
        values_.clear();
        values_.reserve(series.size() * runs_ * 2);
        const auto appended = [&] {
            return std::span<const std::int32_t>(values_.end() - static_cast<std::ptrdiff_t>(runs_), runs_);
        };
        for (const std::uint32_t s : series) {
            const std::uint32_t nick = recent.series[s].nick, k = in_.styleOf[nick];
            if (k == TrendInput::kNotRecorded) continue;  // no figure in the runs charted
            const auto cached = recent.cachedOf(nick, in_.first);
            recent.appendUptimes(s, in_.first, values_);
            const auto uptimes = appended();
            add(uptime, k, uptimes, cached);
            recent.appendLatencies(s, in_.first, values_);
            add(latency, k, appended(), cached);
            if (runs_ == 0 || uptimes.back() == kNoFigure) continue;
            if (cached.back())
                down_.push_back(k);
            else
                tonight_.push_back(static_cast<double>(uptimes.back()) / 100.0);
        }
        *out_ += "    <td>";
        if (uptime.series.empty() && latency.series.empty()) {
            *out_ += "No pinger gave a figure in these runs.";
        } else {
            chart_.draw(*out_, uptime);
            *out_ += "<br>";
            chart_.draw(*out_, latency);
        }
        *out_ += kCellClose;
        figures();
        *out_ += "  </tr>\r\n";
    }

private:
    void add(ChartInput& chart, std::size_t k, std::span<const std::int32_t> values,
             std::span<const std::uint8_t> cached) const {
        if (std::all_of(values.begin(), values.end(), [](std::int32_t v) { return v == kNoFigure; })) return;
        chart.series.push_back({k, in_.pingers[k], values, cached});
    }

    // Tonight's median and spread of the pingers reached, and those not.
    void figures() {
        const std::size_t reached = tonight_.size();
        std::sort(tonight_.begin(), tonight_.end());
        const auto median = Median(tonight_);
        *out_ += Cell(median ? TwoDecimals(*median, "%") : down_.empty() ? "&nbsp;" : "No pinger reached");
        std::string spread = reached == 1 ? "1 pinger" : "&nbsp;";
        if (reached > 1) {
            const double points = tonight_.back() - tonight_.front();
            spread = TwoDecimals(points, "points");
            if (points > kWideSpreadPoints) spread = "<font color=\"#FF0000\"><strong>" + spread + "</strong></font>";
        }
        *out_ += Cell(spread);
        std::string down;
        for (std::size_t i = 0; i < down_.size() && i < kNamedDown; ++i) {
            if (i) down += ", ";
            site::AppendHtml(down, in_.pingers[down_[i]]);
        }
        if (down_.size() > kNamedDown) down += " and " + std::to_string(down_.size() - kNamedDown) + " more";
        *out_ += Cell(down.empty() ? "&nbsp;" : down);
    }

    const TrendInput& in_;
    std::string* out_ = nullptr;
    std::size_t runs_;
    TrendChart chart_;
    std::vector<double> tonight_;
    std::vector<std::size_t> down_;
    std::vector<std::int32_t> values_;  // the row's figures, as the charts read them
};

// What the charts show, and each pinger's style: at the top of the page, and
// kept in sight while the rows scroll by.
std::string Legend(const TrendInput& in) {
    const std::vector<std::string>& nicks = in.pingers;
    const std::size_t runs = in.runGmts.size();
    std::string p = "<div class=\"legend\">\r\n<p>The last " + std::to_string(runs) + " recorded runs";
    // The times come from the file like every other text: escaped.
    if (runs)
        p += ", from " + site::HtmlEscape(in.runGmts.front()) + " GMT to " + site::HtmlEscape(in.runGmts.back()) +
             " GMT";
    p += ", tonight at the right, their dates (month/day, GMT) along the bottom. For each remailer the upper chart"
         " is the uptime, from just under the lowest figure drawn to 100 %; the lower one the latency"
         " (hours:minutes:seconds), from 0. A line per pinger, broken where it gave no figure; a grey dot is a figure"
         " from a cached copy (the pinger was not reached that run), left out of the median and the spread. Point at"
         " a figure to see its pinger, run and value (in charts of at most " +
         std::to_string(kTitledSeries) +
         " pingers). Median and spread are tonight's, of the pingers reached; the spread is the highest minus the"
         " lowest uptime, in red when above " +
         TwoDecimals(kWideSpreadPoints, "points") + ".";
    if (nicks.size() > kTitledSeries)
        p += " A chart of more than " + std::to_string(kTitledSeries) +
             " pingers draws instead of their lines the range of each run's fresh figures as a band, from the lowest"
             " to the highest, their median as a black line, and says how many figures came from cached copies.";
    p += "</p>\r\n<p>";
    for (std::size_t k = 0; k < nicks.size(); ++k)
        p += std::string(k ? " " : "") + LegendKey(k) + "&nbsp;" + site::HtmlEscape(nicks[k]);
    p += " <svg class=\"t\" width=\"12\" height=\"10\"><path class=\"c\" d=\"M6 5h0\"/></svg>&nbsp;cached copy</p>\r\n"
         "</div>\r\n";
    return p;
}

// The pingers with a figure in the runs charted, in the order of their names,
// and the remailers of the page found among those the history holds.
void FindPlaces(TrendInput& in) {
    const RecentRuns& recent = *in.recent;
    std::vector<std::uint8_t> charted(recent.nicks.size(), 0);
    for (std::uint32_t s = 0; s < recent.series.size(); ++s)
        if (recent.givenSince(s, in.first)) charted[recent.series[s].nick] = 1;
    in.styleOf.assign(recent.nicks.size(), TrendInput::kNotRecorded);
    for (std::size_t k = 0; k < charted.size(); ++k) {
        if (!charted[k]) continue;
        in.styleOf[k] = static_cast<std::uint32_t>(in.pingers.size());
        in.pingers.push_back(recent.nicks[k].second);
    }
    std::unordered_map<std::string_view, std::uint32_t> places;
    for (std::uint32_t m = 0; m < recent.remailers.size(); ++m) places.emplace(recent.remailers[m].second, m);
    for (const std::string& name : in.remailers) {
        const auto it = places.find(name);
        in.rowRemailer.push_back(it == places.end() ? TrendInput::kNotRecorded : it->second);
    }
}

}  // namespace

std::string TrendPageOf(PageSource& source) {
    const Run& run = source.run();
    TrendInput in;
    in.type = run.type;
    in.stamp = source.stamp();
    in.remailers = run.remailerOrder;
    const RecentRuns& recent = source.recent(run.type, kTrendRuns);
    in.recent = &recent;
    in.first = recent.firstOfLast(kTrendRuns);
    for (const RecentRun& r : recent.last(kTrendRuns)) in.runGmts.push_back(r.gmt);
    FindPlaces(in);
    return TrendPage(in);
}

std::string TrendPage(const TrendInput& in, unsigned threads) {
    std::string p = site::PageHead("Uptime and latency of the remailers over the last runs, pinger by pinger",
                                   "trend, uptime, latency, statistics, remailer, comparison, pingers, reliability,"
                                   " mixmaster, PGP",
                                   "<meta charset=\"utf-8\">\r\n" + ChartStyles());
    // A chart's path is some ten bytes a figure, two charts a remailer.
    // Many pingers make a band, whatever their number.
    const std::size_t lines = in.pingers.size() > kTitledSeries ? 2 : in.pingers.size();
    p.reserve(4096 + in.remailers.size() * (2000 + lines * (60 + in.runGmts.size() * 20)));
    p += "<h3 align=\"left\"><font color=\"#008000\">Uptime Trend (Pinger-Pinged) (Stats) " +
         site::HtmlEscape(in.type) + " __ __ " + site::HtmlEscape(in.stamp) + " GMT.</font></h3>\r\n";
    p += Legend(in);
    p += site::MailNotice();
    p += site::TableStart();
    p += "  <tr>\r\n" + Cell("<strong>Remailer</strong>") + Cell("<strong>Uptime and latency, last runs</strong>") +
         Cell("<strong>Median tonight</strong>") + Cell("<strong>Spread tonight</strong>") +
         Cell("<strong>Not reached tonight (cached copy)</strong>") + "  </tr>\r\n";
    // Stretches of rows made side by side, then put together in their order.
    constexpr std::size_t kStretch = 64;
    std::vector<std::string> stretches((in.remailers.size() + kStretch - 1) / kStretch);
    std::vector<std::optional<Rows>> rooms(std::max(threads, 1U));
    InParallel(stretches.size(), threads, [&](std::size_t part, unsigned worker) {
        if (!rooms[worker]) rooms[worker].emplace(in);
        const std::size_t end = std::min(in.remailers.size(), (part + 1) * kStretch);
        for (std::size_t r = part * kStretch; r < end; ++r) rooms[worker]->row(r, stretches[part]);
    });
    for (std::string& stretch : stretches) {
        p += stretch;
        std::string().swap(stretch);
    }
    p += "</table>\r\n</div>\r\n";
    p += site::PageFoot();
    return p;
}

}  // namespace parlux::history
