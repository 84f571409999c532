#include "history/ChangesFeed.h"

#include "common/core/SiteConfig.h"
#include "common/core/SitePage.h"

namespace parlux::history {

namespace {

// "2026/12/09 03:15:00" as "2026-12-09T03:15:00Z"; a time not of that shape
// (a damaged file's) as the start of the epoch, so that the feed stays valid.
std::string Rfc3339(const std::string& gmt) {
    const bool shaped = gmt.size() == 19 && gmt[4] == '/' && gmt[7] == '/' && gmt[10] == ' ' && gmt[13] == ':' &&
                        gmt[16] == ':' && gmt.find_first_not_of("0123456789/: ") == std::string::npos;
    if (!shaped) return "1970-01-01T00:00:00Z";
    std::string out = gmt + "Z";
    out[4] = out[7] = '-';
    out[10] = 'T';
    return out;
}

void Element(std::string& out, const char* indent, const char* name, const std::string& text) {
    out += std::string(indent) + "<" + name + ">" + XmlEscape(text) + "</" + name + ">\n";
}

}  // namespace

std::string XmlEscape(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') kept += c;
    return site::HtmlEscape(kept);
}

std::string ChangesFeed(const std::vector<NightOfChanges>& nights, const std::string& stamp) {
    const site::SiteConfig& config = site::Current();
    const std::string folder = config.site + "/Parlux/";
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n";
    Element(out, "  ", "id", folder + "Changes.atom");
    Element(out, "  ", "title", "Parlux: changes of the remailer pingers");
    Element(out, "  ", "updated", Rfc3339(stamp));
    out += "  <link rel=\"self\" type=\"application/atom+xml\" href=\"" + XmlEscape(folder + "Changes.atom") + "\"/>\n";
    out += "  <link rel=\"alternate\" type=\"text/html\" href=\"" + XmlEscape(folder + "Changes.html") + "\"/>\n";
    out += "  <author>\n";
    Element(out, "    ", "name", config.mail);
    Element(out, "    ", "email", config.mail);
    out += "  </author>\n";
    for (const NightOfChanges& night : nights) {
        if (!night.changed) continue;
        std::string date = night.date;
        for (char& c : date)
            if (c == '/') c = '-';
        out += "  <entry>\n";
        Element(out, "    ", "id", folder + "Changes.html#" + date);
        Element(out, "    ", "title", "Changes of the night of " + night.date + " GMT");
        Element(out, "    ", "updated", Rfc3339(night.newestGmt));
        out += "    <link rel=\"alternate\" type=\"text/html\" href=\"" + XmlEscape(folder + "Changes.html") + "\"/>\n";
        std::string text;
        for (const auto& line : night.lines) text += line + "\n";
        out += "    <content type=\"text\">" + XmlEscape(text) + "</content>\n  </entry>\n";
    }
    return out + "</feed>\n";
}

}  // namespace parlux::history
