#pragma once
// The maintainer's own addresses: the primary site (its Parlux pages lie under
// "/Parlux/"), the mail address of the pages' mail notice and the mirrors
// (kMirrorCount of them) offered in the Internet menus, and the history's
// settings. Built-in defaults, replaced by the lines of Parlux.conf in the
// data folder (its keys are listed in SiteConfigKeys.def):
//
//     # comment
//     site = https://remailers.example.net/~kim
//     mail = kim@example.net
//     mirror1 = https://mirror.example.net/kim/Parlux/
//     history = on
//     history_days = 400
//
// The pages and menus read Current(); a program loads the file once, before
// it writes anything.
#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace parlux::site {

// The kind of value a key takes, which decides what it may hold.
enum class ConfValue { kWebFolder, kWebAddress, kMailAddress, kOnOff, kDays };

struct ConfKey {
    std::string_view name;
    ConfValue kind;
    std::string_view defaultValue;
    std::string_view comment;  // the template's lines above it; "" when told with the key before
    std::string_view manual;   // its paragraph of the manual page, in troff
};

inline constexpr std::array kConfKeys = {
#define PARLUX_CONF_KEY(name, kind, value, comment, manual) ConfKey{name, ConfValue::kind, value, comment, manual},
#include "common/core/SiteConfigKeys.def"
#undef PARLUX_CONF_KEY
};

// The built-in value of a key of the list (a compile error for any other).
constexpr std::string_view DefaultOf(std::string_view key) {
    for (const ConfKey& k : kConfKeys)
        if (k.name == key) return k.defaultValue;
    throw std::logic_error("not a key of Parlux.conf");
}

// The mirrors are the web addresses of the list, in its order.
inline constexpr std::size_t kMirrorCount = [] {
    std::size_t count = 0;
    for (const ConfKey& k : kConfKeys) count += k.kind == ConfValue::kWebAddress ? 1 : 0;
    return count;
}();
inline constexpr std::array<std::string_view, kMirrorCount> kDefaultMirrors = [] {
    std::array<std::string_view, kMirrorCount> mirrors{};
    std::size_t i = 0;
    for (const ConfKey& k : kConfKeys)
        if (k.kind == ConfValue::kWebAddress) mirrors[i++] = k.defaultValue;
    return mirrors;
}();
inline constexpr std::string_view kDefaultSite = DefaultOf("site");
inline constexpr std::string_view kDefaultMail = DefaultOf("mail");

// The file's name in the data folder.
inline constexpr std::string_view kConfigName = "Parlux.conf";

// A kDays value's number; its digits are checked where it is read.
constexpr int DaysOf(std::string_view digits) {
    int days = 0;
    for (const char c : digits) days = days * 10 + (c - '0');
    return days;
}

inline std::array<std::string, kMirrorCount> DefaultMirrors() {
    std::array<std::string, kMirrorCount> mirrors;
    for (std::size_t i = 0; i < kMirrorCount; ++i) mirrors[i] = kDefaultMirrors[i];
    return mirrors;
}

struct SiteConfig {
    std::string site{kDefaultSite};  // scheme, host and optional folder, no trailing slash
    std::string mail{kDefaultMail};
    std::array<std::string, kMirrorCount> mirrors = DefaultMirrors();  // mirror1 ... in order
    // Which mirrors a line set. Read from a file, the others are not the
    // maintainer's and are left out of the menus.
    std::array<bool, kMirrorCount> mirrorSet{};
    bool fromFile = false;
    // Whether the Internet menus offer mirror i (from 0): always without a
    // file, only when set with one.
    bool offersMirror(std::size_t i) const { return i < mirrors.size() && (!fromFile || mirrorSet[i]); }
    // The history of runs (Parlux.sqlite and the trend and changes pages):
    // on or off, and the days of runs it keeps.
    bool history = DefaultOf("history") == "on";
    int historyDays = DaysOf(DefaultOf("history_days"));
};

// A line that cannot be used; what() is "<path>:<line>: <what is wrong>"
// (or "<path>: <what is wrong>" when the file itself cannot be read).
class SiteConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The defaults with the file's lines applied; path only names the file in
// errors. A later line of a key replaces an earlier one.
SiteConfig ParseSiteConfig(std::string_view text, const std::string& path);

// dataFolder/Parlux.conf read and parsed (fromFile set); the defaults when
// there is no such file. Throws SiteConfigError.
SiteConfig LoadSiteConfig(const std::filesystem::path& dataFolder);

// A Parlux.conf that changes nothing: each key with its built-in value,
// commented out, and what it is for.
std::string ConfigTemplate();
// The keys' paragraphs of the manual page, in troff (".TP" before each).
std::string ConfigManualKeys();
// Writes ConfigTemplate() to dataFolder/Parlux.conf when there is no such
// file (never over one, nor through a link); returns the file's path.
std::filesystem::path EnsureConfigFile(const std::filesystem::path& dataFolder);

// The addresses the pages and menus use: the defaults until SetCurrent.
const SiteConfig& Current();
void SetCurrent(SiteConfig config);

}  // namespace parlux::site
