#pragma once
// The pieces of the history's tables of remailers and pingers, shared by
// Remailers.html, Pingers_Health.html and each remailer's own page: cells of
// HTML or of escaped text, rows, and the head and foot in the site's frame.
// Each piece is whole CR LF lines.
#include <cstdio>
#include <string>
#include <string_view>

#include "common/core/SitePage.h"

namespace parlux::history::cells {

inline constexpr std::string_view kNothing = "&nbsp;";

// A cell of what is already HTML, and one of text.
inline std::string Cell(std::string_view html) {
    return "    <td>" + std::string(html.empty() ? kNothing : html) + "</td>\r\n";
}
inline std::string TextCell(std::string_view text) { return Cell(site::HtmlEscape(text)); }
inline std::string HeadCell(std::string_view text) { return Cell("<strong>" + site::HtmlEscape(text) + "</strong>"); }
inline std::string Row(const std::string& cells) { return "  <tr>\r\n" + cells + "  </tr>\r\n"; }

inline std::string Percent(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f %%", value);
    return buffer;
}

// "YYYY/MM/DD" of a "YYYY/MM/DD HH:NN:SS" time.
inline std::string DateOf(const std::string& gmt) { return gmt.substr(0, 10); }

// The head of a page in the site's frame, up to the opening of its first
// table: the title (HTML), the time of the run, the legend (HTML); headLines
// (whole CR LF lines) go into the head after the character set.
inline std::string Head(std::string_view description, std::string_view title, const std::string& stamp,
                        std::string_view legend, std::string_view headLines = {}) {
    std::string p = site::PageHead(description, "consensus, remailer, comparison, pingers, uptime, keys, freshness",
                                   "<meta charset=\"utf-8\">\r\n" + std::string(headLines));
    p += "<h3 align=\"left\"><font color=\"#008000\">" + std::string(title) + " __ __ " + site::HtmlEscape(stamp) +
         " GMT.</font></h3>\r\n";
    p += "<p>" + std::string(legend) + "</p>\r\n";
    p += site::MailNotice();
    p += site::TableStart();
    return p;
}

inline std::string Foot() { return "</table>\r\n</div>\r\n" + site::PageFoot(); }

}  // namespace parlux::history::cells
