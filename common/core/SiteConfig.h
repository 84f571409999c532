#pragma once
// The maintainer's own addresses, in one place: the primary site (its Parlux
// pages lie under "/Parlux/"), the mail address of the pages' mail notice and
// the four mirrors offered in the Internet menus.
#include <array>
#include <string_view>

namespace parlux::site {

inline constexpr std::string_view kPrimarySite = "http://www.example.org/quill";
inline constexpr std::string_view kMailAddress = "quill@example.org";
inline constexpr std::array<std::string_view, 4> kMirrors = {
    "http://www.example.org/quill/Parlux/",
    "http://mirror1.example.org/quill/Parlux/",
    "http://mirror2.example.org/quill/Parlux/",
    "http://mirror3.example.org/quill/Parlux/",
};

}  // namespace parlux::site
