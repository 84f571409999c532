#pragma once
// The frame every web page of the site shares: the head and title block, the
// mail notice, the opening of the results table and the links back to the
// site's indexes. Each piece is whole CR LF lines.
#include <string>
#include <string_view>

namespace parlux::site {

// From "<html>" to the separator image under the title, with the page's own
// description and keywords; headLines (whole CR LF lines) open the head.
std::string PageHead(std::string_view description, std::string_view keywords, std::string_view headLines = {});
// "Please E-mail me if you want to be included / a link is wrong."
std::string MailNotice();
// The blank line, the left-aligned block and the opening of the results table.
std::string TableStart();
// An empty line, the rule, the links back to the indexes and "</html>".
std::string PageFoot();

// Appends the text with &, <, >, " as entities and every blank as blank.
void AppendHtml(std::string& out, std::string_view text, char blank = ' ');
// &, <, >, " as entities.
std::string HtmlEscape(std::string_view text);

}  // namespace parlux::site
