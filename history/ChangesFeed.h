#pragma once
// Changes.atom: the changes report as an Atom feed a reader can follow. One
// entry for each recorded night that had changes, its id the same every time
// the feed is written (the site's address of Changes.html and the night's
// date), its content the night's lines as text. The feed's author is the
// maintainer's mail from Parlux.conf.
#include <string>
#include <vector>

#include "history/PageSource.h"

namespace parlux::history {

// stamp: "YYYY/MM/DD HH:NN:SS" (GMT), the feed's time.
std::string ChangesFeed(const std::vector<NightOfChanges>& nights, const std::string& stamp);
inline std::string ChangesFeedOf(PageSource& source) { return ChangesFeed(source.nights(), source.stamp()); }

// &, <, >, " as entities, and the characters XML cannot hold left out.
std::string XmlEscape(const std::string& text);

}  // namespace parlux::history
