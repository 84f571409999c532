#include "history/TrendPage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

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

// The path of one pinger's figures: a new stroke after every gap; a figure
// alone between gaps is a dot.
std::string PathOf(const std::vector<std::optional<double>>& values, std::size_t firstSlot) {
    std::string d;
    bool drawing = false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!values[i]) {
            drawing = false;
            continue;
        }
        const double x = static_cast<double>((firstSlot + i) * kSlot) + kSlot / 2.0;
        const double y = 2.0 + (100.0 - *values[i]) * (kChartHeight - 4) / 100.0;
        const bool alone = !(i + 1 < values.size() && values[i + 1]);
        d += std::string(drawing ? " L" : (d.empty() ? "M" : " M")) + Number(x) + " " + Number(y);
        if (!drawing && alone) d += " h0.1";
        drawing = true;
    }
    return d;
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::string Cell(const std::string& content) { return "    <td width=\"40\" height=\"34\">" + content + "</td>\r\n"; }

// pinger -> the figure of each run
using Series = std::map<std::string, std::vector<std::optional<double>>>;

// The row of one remailer: its chart, tonight's median and spread.
std::string Row(const std::string& remailer, const Series* series, const std::vector<std::string>& nicks,
                std::size_t runs, std::size_t firstSlot) {
    const std::string w = std::to_string(kChartWidth), h = std::to_string(kChartHeight);
    const std::string middle = Number(2.0 + (kChartHeight - 4) / 2.0);
    std::string svg = "<svg width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                      "\"><rect width=\"" + w + "\" height=\"" + h + "\" fill=\"#ffffff\" stroke=\"#c0c0c0\"/>";
    svg += "<line x1=\"0\" y1=\"" + middle + "\" x2=\"" + w + "\" y2=\"" + middle + "\" stroke=\"#e0e0e0\"/>";
    std::vector<double> tonight;
    for (std::size_t k = 0; series && k < nicks.size(); ++k) {
        const auto values = series->find(nicks[k]);
        if (values == series->end()) continue;
        svg += "<path d=\"" + PathOf(values->second, firstSlot) + "\" fill=\"none\" " + Stroke(k) +
               " stroke-width=\"2\" stroke-linecap=\"round\"/>";
        if (runs && values->second[runs - 1]) tonight.push_back(*values->second[runs - 1]);
    }
    svg += "</svg>";
    const auto median = Median(tonight);
    std::string spread = "&nbsp;";
    if (!tonight.empty()) {
        const auto [low, high] = std::minmax_element(tonight.begin(), tonight.end());
        const double points = *high - *low;
        spread = FormatPercent(points);
        if (points > kWideSpreadPoints) spread = "<font color=\"#FF0000\"><strong>" + spread + "</strong></font>";
    }
    return "  <tr>\r\n" + Cell("<strong><font color=\"#0000FF\">" + site::HtmlEscape(remailer) + "</font></strong>") +
           Cell(svg) + Cell(median ? FormatPercent(*median) + "%" : "&nbsp;") + Cell(spread) + "  </tr>\r\n";
}

// What the charts show, and each pinger's colour.
std::string Legend(const TrendInput& in, const std::vector<std::string>& nicks) {
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

std::string TrendPageOf(PageSource& source) {
    const Run& run = source.run();
    TrendInput in;
    in.type = run.type;
    in.stamp = source.stamp();
    in.remailers = run.remailerOrder;
    const auto runs = source.db().lastRuns(run.type, kTrendRuns);
    for (const auto id : runs) in.runGmts.push_back(source.db().gmtOf(id));
    in.points = source.db().uptimes(runs);
    return TrendPage(in);
}

std::string TrendPage(const TrendInput& in) {
    const std::size_t runs = in.runGmts.size();
    const std::size_t slots = static_cast<std::size_t>(kTrendRuns);
    const std::size_t firstSlot = runs < slots ? slots - runs : 0;
    std::set<std::string> nickSet;
    std::map<std::string, Series> series;  // by remailer
    for (const auto& point : in.points) {
        if (point.run >= runs) continue;
        nickSet.insert(point.pinger);
        auto& values = series[point.remailer][point.pinger];
        values.resize(runs);
        values[point.run] = point.uptime;
    }
    const std::vector<std::string> nicks(nickSet.begin(), nickSet.end());

    std::string p =
        site::PageHead("Uptime of the remailers over the last runs, pinger by pinger",
                       "trend, uptime, statistics, remailer, comparison, pingers, reliability, mixmaster, PGP");
    p += "<h3 align=\"left\"><font color=\"#008000\">Uptime Trend (Pinger-Pinged) (Stats) " +
         site::HtmlEscape(in.type) + " __ __ " + site::HtmlEscape(in.stamp) + " GMT.</font></h3>\r\n";
    p += Legend(in, nicks);
    p += site::MailNotice();
    p += site::TableStart();
    p += "  <tr>\r\n" + Cell("<strong>Remailer</strong>") + Cell("<strong>Uptime, last runs</strong>") +
         Cell("<strong>Median tonight</strong>") + Cell("<strong>Spread tonight</strong>") + "  </tr>\r\n";
    for (const std::string& remailer : in.remailers) {
        const auto found = series.find(remailer);
        p += Row(remailer, found == series.end() ? nullptr : &found->second, nicks, runs, firstSlot);
    }
    p += "</table>\r\n</div>\r\n";
    p += site::PageFoot();
    return p;
}

}  // namespace parlux::history
