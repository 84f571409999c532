#include "common/core/SitePage.h"

#include "common/core/SiteConfig.h"

namespace parlux::site {

namespace {

void Line(std::string& out, std::string_view text) { out.append(text).append("\r\n"); }

}  // namespace

std::string PageHead(std::string_view description, std::string_view keywords, std::string_view headLines) {
    std::string out;
    Line(out, "<html>");
    Line(out, "");
    Line(out, "<head>");
    out.append(headLines);
    Line(out, "<title>Quill 's Parlux Page</title>");
    Line(out, "<meta name=\"Description\" content=\"" + std::string(description) + "\">");
    Line(out, "<meta name=\"Keywords\"");
    Line(out, "content=\"" + std::string(keywords) + "\">");
    Line(out, "</head>");
    Line(out, "");
    Line(out, "<body background=\"../bkg_1.jpg\">");
    Line(out, "");
    Line(out,
         "<h1 align=\"center\"><img src=\"../Spiro01.gif\" align=\"left\" width=\"25\" height=\"25\">"
         "<font color=\"#FF0000\">Quill's Parlux</font></h1>");
    Line(out, "");
    Line(out, "<align=\"left\"><img src=\"../sep_Looker_1.gif\">");
    return out;
}

std::string MailNotice() {
    std::string out;
    Line(out, "<font color=\"#FF00FF\">Please <a href=\"mailto:" + Current().mail +
                  "?Subject=Parlux Page\"><img src=\"../E-Mail-1.gif\" border=\"0\" width=\"25\" height=\"25\">"
                  " E-mail me </a> if you want to be included / a link is wrong.</font><br>");
    return out;
}

std::string TableStart() {
    std::string out;
    Line(out, "<br>");
    Line(out, "<div align=\"left\">");
    Line(out,
         "<table border=\"1\" cellspacing=\"1\" width=\"100%\" height=\"100\" background=\"../bkg_BWCircuit.gif\">");
    return out;
}

std::string PageFoot() {
    std::string out;
    Line(out, "");
    Line(out, "<hr>");
    Line(out,
         "<p align=\"center\">Back to <a HREF=\"index.html\">Parlux's Index</a> or <a HREF=\"../index.html\">"
         "Root Index</a> or <a HREF=\"../Main.html\">Root Main</a> Pages</p>");
    Line(out, "</html>");
    return out;
}

// Appends the text with &, <, >, " as entities and every blank as blank.
void AppendHtml(std::string& out, std::string_view text, char blank) {
    std::size_t done = 0;
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (c != '&' && c != '<' && c != '>' && c != '"' && c != ' ') continue;
        out.append(text.data() + done, k - done);
        done = k + 1;
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += blank;
        }
    }
    out.append(text.data() + done, text.size() - done);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtml(out, text, ' ');
    return out;
}

}  // namespace parlux::site
