#pragma once
// One chart of a remailer's figures over the last runs, a line per pinger, as
// inline SVG: a labelled scale at the left, the runs' dates along the bottom,
// tonight at the right. A figure from a cached copy (the pinger was not
// reached that run) is a grey dot, never part of a pinger's line; a pinger's
// line breaks where it gave no figure. Each pinger keeps its style (colour and
// dashes, told apart by colour-blind readers too) from chart to chart; the
// page's head carries the styles (ChartStyles). No script. A chart of more
// pingers than a reader can follow line by line (kTitledSeries) draws instead
// the range of the fresh figures of each run as a band, their median as a
// line, and says how many figures came from cached copies.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace parlux::history {

// A run with no figure.
inline constexpr std::int32_t kNoFigure = INT32_MIN;
// Charts of at most this many pingers draw a line for each and name every
// point when pointed at; a larger one draws the band of their range, as so
// many lines would weigh more than a reader can use.
inline constexpr std::size_t kTitledSeries = 12;

// What the figures are: uptime in hundredths of a percent, or latency in seconds.
enum class ChartScale { Uptime, Latency };

struct ChartSeries {
    std::size_t style = 0;  // the pinger's place in the legend
    std::string_view name;
    std::span<const std::int32_t> values;  // run by run, kNoFigure for none
    std::span<const std::uint8_t> cached;  // run by run, nonzero: from a cached copy
};

struct ChartInput {
    ChartScale scale = ChartScale::Uptime;
    std::vector<ChartSeries> series;
};

// Draws the charts of one set of runs; what every chart of them shares is made once.
class TrendChart {
public:
    // The runs' times, "YYYY/MM/DD HH:NN:SS" (GMT), oldest first.
    explicit TrendChart(std::vector<std::string> runGmts);
    // Appends one <svg>.
    void draw(std::string& out, const ChartInput& chart);

private:
    struct Axis {
        double low, high;
        std::vector<std::int64_t> ticks;
    };
    Axis axis(const ChartInput& chart) const;
    void scale(std::string& out, const Axis& axis, ChartScale kind) const;
    void line(std::string& out, std::string& stale, const ChartSeries& s, const Axis& axis);
    void titles(std::string& out, const ChartSeries& s, const Axis& axis, ChartScale kind) const;
    // The band of the fresh figures' range and their median, for many pingers.
    void band(std::string& out, const ChartInput& chart, const Axis& axis) const;
    // Appends the height of the value on the chart.
    void y(std::string& out, double value, const Axis& axis) const;

    std::vector<std::string> runGmts_, x_;
    std::string frame_;         // the box and the runs' dates
    std::string line_, alone_;  // a pinger's paths while they are made
};

// The <style> lines of a page of charts (whole CR LF lines).
std::string ChartStyles();
// A short stroke in a pinger's style, for a legend.
std::string LegendKey(std::size_t style);
// A figure as a reader reads it: "99.60 %", "1:02:03".
std::string ChartFigure(std::int32_t value, ChartScale kind);

}  // namespace parlux::history
