#include "common/core/SitePage.h"

#include "common/core/SiteConfig.h"

namespace parlux::site {

namespace {

void Line(std::string& out, std::string_view text) { out.append(text).append("\r\n"); }

}  // namespace

std::string PageHead(std::string_view description, std::string_view keywords) {
    std::string out;
    Line(out, "<html>");
    Line(out, "");
    Line(out, "<head>");
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
    Line(out, "<font color=\"#FF00FF\">Please <a href=\"mailto:" + std::string(kMailAddress) +
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

}  // namespace parlux::site
