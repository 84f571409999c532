#include "history/TrendChart.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "common/core/SitePage.h"

namespace parlux::history {

namespace {

// The Okabe-Ito colours, which stay apart for colour-blind readers too, each
// with four dash patterns: thirty-two pingers before a style comes again.
constexpr std::array<const char*, 8> kColours = {"#000000", "#E69F00", "#56B4E9", "#009E73",
                                                 "#F0E442", "#0072B2", "#D55E00", "#CC79A7"};
constexpr std::array<const char*, 4> kDashes = {"", "7 3", "2 3", "10 3 2 3"};
constexpr std::size_t kStyles = kColours.size() * kDashes.size();

// Every pinger of a colour gets another dash pattern: pinger k and k + 8 differ.
std::size_t DashOf(std::size_t style) { return (style + style / kColours.size()) % kDashes.size(); }

// The box of the figures inside the chart.
constexpr int kWidth = 690, kHeight = 120, kLeft = 46, kRight = 680, kTop = 8, kBottom = 100;

// A coordinate with at most one decimal, appended: the page holds millions
// of them.
void AppendCoordinate(std::string& out, double value) {
    const long tenths = std::lround(value * 10.0);
    char buffer[24];
    char* end = std::to_chars(buffer, buffer + sizeof buffer, tenths / 10).ptr;
    if (tenths % 10) {
        *end++ = '.';
        *end++ = static_cast<char>('0' + std::abs(tenths % 10));
    }
    out.append(buffer, end);
}

constexpr std::array<std::int64_t, 22> kLatencySteps = {1,     2,     5,      10,     15,     30,     60,    120,
                                                        300,   600,   900,    1800,   3600,   7200,   10800, 21600,
                                                        43200, 86400, 172800, 432000, 864000, 2592000};

std::string LatencyTick(std::int64_t seconds) {
    if (seconds == 0) return "0";
    if (seconds % 86400 == 0) return std::to_string(seconds / 86400) + " d";
    if (seconds % 3600 == 0) return std::to_string(seconds / 3600) + " h";
    if (seconds % 60 == 0) return std::to_string(seconds / 60) + " min";
    return std::to_string(seconds) + " s";
}

// The foot of an uptime scale and its steps, in hundredths of a percent, the
// highest foot first; below the last, from 0 in steps of 20 %.
struct UptimeScale {
    std::int64_t low, step;
};
constexpr std::array<UptimeScale, 9> kUptimeScales = {{{9900, 20},
                                                       {9800, 50},
                                                       {9500, 100},
                                                       {9000, 200},
                                                       {8000, 500},
                                                       {7000, 1000},
                                                       {6000, 1000},
                                                       {5000, 1000},
                                                       {4000, 2000}}};

std::string Tick(std::int64_t value, ChartScale kind) {
    if (kind == ChartScale::Latency) return LatencyTick(value);
    char buffer[32];
    if (value % 100)
        std::snprintf(buffer, sizeof buffer, "%.1f %%", static_cast<double>(value) / 100.0);
    else
        std::snprintf(buffer, sizeof buffer, "%lld %%", static_cast<long long>(value / 100));
    return buffer;
}

}  // namespace

std::string ChartFigure(std::int32_t value, ChartScale kind) {
    char buffer[48];
    if (kind == ChartScale::Uptime) {
        std::snprintf(buffer, sizeof buffer, "%.2f %%", static_cast<double>(value) / 100.0);
    } else {
        const long s = value;
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    }
    return buffer;
}

TrendChart::TrendChart(std::vector<std::string> runGmts) : runGmts_(std::move(runGmts)) {
    const std::size_t runs = runGmts_.size();
    // The runs across the whole width, each in the middle of its share.
    for (std::size_t i = 0; i < runs; ++i)
        x_.push_back(std::to_string(
            std::lround(kLeft + (static_cast<double>(i) + 0.5) * (kRight - kLeft) / static_cast<double>(runs))));
    const std::string w = std::to_string(kWidth), h = std::to_string(kHeight);
    frame_ = "<svg class=\"t\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
             "\"><rect class=\"b\" x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kTop) + "\" width=\"" +
             std::to_string(kRight - kLeft) + "\" height=\"" + std::to_string(kBottom - kTop) + "\"/>";
    // Some six dates along the bottom, tonight's always: "MM/DD".
    const std::size_t every = std::max<std::size_t>(1, (runs + 5) / 6);
    for (std::size_t i = 0; i < runs; ++i) {
        if ((runs - 1 - i) % every != 0) continue;
        const std::string& gmt = runGmts_[i];
        frame_ += "<text class=\"d\" x=\"" + x_[i] + "\" y=\"" + std::to_string(kHeight - 6) + "\">" +
                  site::HtmlEscape(gmt.size() >= 10 ? gmt.substr(5, 5) : gmt) + "</text>";
    }
}

TrendChart::Axis TrendChart::axis(const ChartInput& chart) const {
    std::int64_t lowest = INT64_MAX, highest = INT64_MIN;
    for (const ChartSeries& s : chart.series)
        for (const std::int32_t v : s.values)
            if (v != kNoFigure)
                lowest = std::min<std::int64_t>(lowest, v), highest = std::max<std::int64_t>(highest, v);
    Axis a{};
    if (chart.scale == ChartScale::Uptime) {
        // From just under the lowest figure to 100 %: most remailers stay near
        // the top, and the differences there are what a reader looks for.
        const std::int64_t fewest = lowest == INT64_MAX ? 0 : lowest;
        const auto* scale = std::find_if(kUptimeScales.begin(), kUptimeScales.end(),
                                         [fewest](const UptimeScale& u) { return u.low <= fewest; });
        const std::int64_t low = scale == kUptimeScales.end() ? 0 : scale->low;
        const std::int64_t step = scale == kUptimeScales.end() ? 2000 : scale->step;
        a.low = static_cast<double>(low);
        a.high = 10000.0;
        for (std::int64_t t = 10000; t >= low; t -= step) a.ticks.push_back(t);
        if (a.ticks.back() - low >= step / 2) a.ticks.push_back(low);
        return a;
    }
    const std::int64_t most = std::max<std::int64_t>(highest == INT64_MIN ? 1 : highest, 1);
    std::int64_t step = kLatencySteps.back();
    for (const std::int64_t s : kLatencySteps)
        if ((most + s - 1) / s <= 4) {
            step = s;
            break;
        }
    const std::int64_t top = (most + step - 1) / step * step;
    a.low = 0.0;
    a.high = static_cast<double>(top);
    for (std::int64_t t = top; t >= 0; t -= step) a.ticks.push_back(t);
    return a;
}

void TrendChart::y(std::string& out, double value, const Axis& axis) const {
    const double share = std::clamp((axis.high - value) / (axis.high - axis.low), 0.0, 1.0);
    AppendCoordinate(out, kTop + share * (kBottom - kTop));
}

// The scale's lines in one path, and their values beside them.
void TrendChart::scale(std::string& out, const Axis& axis, ChartScale kind) const {
    std::string lines, labels;
    for (const std::int64_t t : axis.ticks) {
        std::string at;
        y(at, static_cast<double>(t), axis);
        lines += 'M';
        lines += std::to_string(kLeft);
        lines += ' ';
        lines += at;
        lines += 'H';
        lines += std::to_string(kRight);
        labels += "<text class=\"l\" x=\"" + std::to_string(kLeft - 4) + "\" y=\"" + at + "\" dy=\"3\">" +
                  Tick(t, kind) + "</text>";
    }
    out += "<path class=\"g\" d=\"" + lines + "\"/>" + labels;
}

// The pinger's line through its own figures, broken at every run without
// one, and a figure alone between gaps a dot of its colour; its figures from
// cached copies grey dots apart from it, all pingers' in one path.
void TrendChart::line(std::string& out, std::string& stale, const ChartSeries& s, const Axis& axis) {
    const std::size_t runs = x_.size();
    const auto fresh = [&s](std::size_t i) { return s.values[i] != kNoFigure && !s.cached[i]; };
    std::string &line = line_, &alone = alone_;
    line.clear();
    alone.clear();
    // The figure of run i in a path: " M" or " L" before it, without the blank
    // at the path's start.
    const auto to = [&](std::string& d, std::string_view move, std::size_t i) {
        d += d.empty() ? move.substr(1) : move;
        d += x_[i];
        d += ' ';
        y(d, static_cast<double>(s.values[i]), axis);
    };
    for (std::size_t i = 0; i < runs; ++i) {
        if (s.values[i] == kNoFigure) continue;
        const bool joinsBefore = i > 0 && fresh(i - 1), joinsAfter = i + 1 < runs && fresh(i + 1);
        if (!fresh(i)) {
            to(stale, " M", i);
            stale += "h0";
        } else if (joinsBefore) {
            to(line, " L", i);
        } else if (joinsAfter) {
            to(line, " M", i);
        } else {
            to(alone, " M", i);
            alone += "h0";
        }
    }
    const std::string style = std::to_string(s.style % kStyles);
    for (const auto& [d, kind] : {std::pair<const std::string&, std::string_view>{line, "<path class=\"p"},
                                  std::pair<const std::string&, std::string_view>{alone, "<path class=\"o p"}}) {
        if (d.empty()) continue;
        out += kind;
        out += style;
        out += "\" d=\"";
        out += d;
        out += "\"/>";
    }
}

// A mark to point at on every figure, naming its pinger, run and value.
void TrendChart::titles(std::string& out, const ChartSeries& s, const Axis& axis, ChartScale kind) const {
    for (std::size_t i = 0; i < x_.size(); ++i) {
        if (s.values[i] == kNoFigure) continue;
        out += "<circle class=\"h\" cx=\"" + x_[i] + "\" cy=\"";
        y(out, static_cast<double>(s.values[i]), axis);
        out += "\" r=\"4\"><title>";
        site::AppendHtml(out, s.name);
        out += ", ";
        site::AppendHtml(out, runGmts_[i]);
        out += " GMT: " + ChartFigure(s.values[i], kind);
        if (s.cached[i]) out += " (cached copy)";
        out += "</title></circle>";
    }
}

namespace {

// One run's fresh figures across the pingers.
struct RunRange {
    bool some = false;
    double low = 0, high = 0, median = 0;
};

// The ranges of the runs, and how many figures came from cached copies.
std::vector<RunRange> Ranges(const ChartInput& chart, std::size_t runs, std::size_t& cached) {
    std::vector<RunRange> ranges(runs);
    std::vector<std::int32_t> fresh;
    cached = 0;
    for (std::size_t i = 0; i < runs; ++i) {
        fresh.clear();
        for (const ChartSeries& s : chart.series) {
            if (s.values[i] == kNoFigure) continue;
            if (s.cached[i])
                ++cached;
            else
                fresh.push_back(s.values[i]);
        }
        if (fresh.empty()) continue;
        // Thousands of charts of hundreds of figures: the middle found, not the whole sorted.
        const std::size_t n = fresh.size();
        const auto middle = fresh.begin() + static_cast<std::ptrdiff_t>(n / 2);
        std::nth_element(fresh.begin(), middle, fresh.end());
        const auto [lowest, highest] = std::minmax_element(fresh.begin(), fresh.end());
        RunRange& r = ranges[i];
        r.some = true;
        r.low = *lowest;
        r.high = *highest;
        r.median = *middle;
        if (n % 2 == 0) r.median = (r.median + *std::max_element(fresh.begin(), middle)) / 2.0;
    }
    return ranges;
}

// What a band stands for, said in the chart and on pointing at it.
std::string BandNote(std::size_t pingers, std::size_t cached) {
    return std::to_string(pingers) + " pingers: the fresh figures from lowest to highest, their median as a line; " +
           std::to_string(cached) + (cached == 1 ? " figure" : " figures") + " from cached copies left out";
}

}  // namespace

// Each run's fresh figures from the lowest to the highest as one shape per
// stretch of runs that have some, the median through them as a line (a dot
// where a run stands alone), and the count of the figures from cached copies,
// which are left out.
void TrendChart::band(std::string& out, const ChartInput& chart, const Axis& axis) const {
    const std::size_t runs = x_.size();
    std::size_t cached = 0;
    const std::vector<RunRange> ranges = Ranges(chart, runs, cached);
    std::string range, line, alone;
    const auto to = [&](std::string& d, char move, std::size_t i, double value) {
        d += move;
        d += x_[i];
        d += ' ';
        y(d, value, axis);
    };
    for (std::size_t i = 0; i < runs; ++i) {
        if (!ranges[i].some) continue;
        std::size_t end = i;
        while (end + 1 < runs && ranges[end + 1].some) ++end;
        for (std::size_t k = i; k <= end; ++k) to(range, k == i ? 'M' : 'L', k, ranges[k].high);
        for (std::size_t k = end + 1; k-- > i;) to(range, 'L', k, ranges[k].low);
        range += 'Z';
        std::string& median = end == i ? alone : line;
        for (std::size_t k = i; k <= end; ++k) to(median, k == i ? 'M' : 'L', k, ranges[k].median);
        if (end == i) median += "h0";
        i = end;
    }
    const std::string said = BandNote(chart.series.size(), cached);
    if (!range.empty())
        out += "<path style=\"fill:#56B4E9;fill-opacity:0.4;stroke:#56B4E9;stroke-width:1\" d=\"" + range +
               "\"><title>" + said + "</title></path>";
    if (!line.empty()) out += "<path style=\"stroke:#000000\" d=\"" + line + "\"/>";
    if (!alone.empty()) out += "<path class=\"o\" style=\"stroke:#000000\" d=\"" + alone + "\"/>";
    out += "<text x=\"" + std::to_string(kLeft + 4) + "\" y=\"" + std::to_string(kTop + 10) +
           "\" style=\"paint-order:stroke;stroke:#ffffff;stroke-width:3\">" + said + "</text>";
}

void TrendChart::draw(std::string& out, const ChartInput& chart) {
    const Axis a = axis(chart);
    out += frame_;
    scale(out, a, chart.scale);
    if (chart.series.size() > kTitledSeries) {
        band(out, chart, a);
        out += "</svg>";
        return;
    }
    // The plain lines first, the dashed over them: where lines lie on one
    // another the dashes let the one below show through.
    std::vector<const ChartSeries*> order;
    for (const ChartSeries& s : chart.series) order.push_back(&s);
    std::stable_sort(order.begin(), order.end(),
                     [](const ChartSeries* l, const ChartSeries* r) { return DashOf(l->style) < DashOf(r->style); });
    std::string stale;
    for (const ChartSeries* s : order) line(out, stale, *s, a);
    if (!stale.empty()) out += "<path class=\"c\" d=\"" + stale + "\"/>";
    for (const ChartSeries& s : chart.series) titles(out, s, a, chart.scale);
    out += "</svg>";
}

std::string ChartStyles() {
    std::string css =
        "<style>\r\n"
        "svg.t path{fill:none;stroke-width:2;stroke-linecap:round}\r\n"
        "svg.t .c{stroke:#999999;stroke-width:6}\r\n"
        "svg.t .o{stroke-width:5;stroke-dasharray:none}\r\n"
        "svg.t .g{stroke:#e4e4e4;stroke-width:1}\r\n"
        "svg.t .h{fill:#000000;fill-opacity:0}\r\n"
        "svg.t .b{fill:#ffffff;stroke:#c0c0c0}\r\n"
        "svg.t text{font:10px sans-serif;fill:#333333}\r\n"
        "svg.t .l{text-anchor:end}\r\n"
        "svg.t .d{text-anchor:middle}\r\n"
        "div.legend{position:sticky;top:0;z-index:1;background:#ffffff;max-height:35vh;overflow:auto;"
        "border:1px solid #c0c0c0;padding:4px}\r\n";
    for (std::size_t k = 0; k < kStyles; ++k) {
        css += ".p" + std::to_string(k) + "{stroke:" + kColours[k % kColours.size()];
        if (*kDashes[DashOf(k)]) css += std::string(";stroke-dasharray:") + kDashes[DashOf(k)];
        css += "}\r\n";
    }
    css += "</style>\r\n";
    return css;
}

std::string LegendKey(std::size_t style) {
    return "<svg class=\"t\" width=\"30\" height=\"10\"><path class=\"p" + std::to_string(style % kStyles) +
           "\" d=\"M2 5H28\"/></svg>";
}

}  // namespace parlux::history
