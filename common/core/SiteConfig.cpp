#include "common/core/SiteConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/core/FolderOwner.h"
#include "common/core/WholeFile.h"

namespace parlux::site {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFileSize = 64 * 1024;  // a handful of lines; anything bigger is not this file

// "mirror1 to mirror4", as the messages and the template name the keys.
std::string MirrorKeys() { return "mirror1 to mirror" + std::to_string(kMirrorCount); }

// The number of a key "mirror<n>" with n from 1 to kMirrorCount, written
// without leading zeros; 0 for any other key.
std::size_t MirrorNumber(std::string_view key) {
    if (!key.starts_with("mirror")) return 0;
    const std::string_view digits = key.substr(6);
    if (digits.empty() || digits.size() > 3 || digits.front() == '0') return 0;
    std::size_t number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return number <= kMirrorCount ? number : 0;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Why the value would break a page or a menu entry; "" when it would not.
std::string BadCharacter(std::string_view value) {
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"') return "holds a double quote";
        if (c == '<' || c == '>') return std::string("holds \"") + c + "\"";
        if (c == ' ' || c == '\t') return "holds a blank";
        if (byte < 0x20 || byte == 0x7f) return "holds a control character";
    }
    return {};
}

// An http or https address with a host: "" when it is one, else why not.
std::string NotWebAddress(std::string_view value) {
    std::string_view rest;
    if (value.starts_with("http://"))
        rest = value.substr(7);
    else if (value.starts_with("https://"))
        rest = value.substr(8);
    else
        return "is not an http:// or https:// address";
    const std::string_view host = rest.substr(0, rest.find('/'));
    if (host.empty()) return "names no host";
    return {};
}

std::string Problem(std::string_view key, std::string_view value) {
    if (value.empty()) return "no value for " + std::string(key);
    if (std::string bad = BadCharacter(value); !bad.empty()) return std::string(key) + " " + bad;
    if (key == "mail") {
        if (value.find('@') == std::string_view::npos) return "mail is not a mail address (no \"@\")";
        if (value.find_first_of("?&#") != std::string_view::npos) return "mail holds \"?\", \"&\" or \"#\"";
        return {};
    }
    if (std::string why = NotWebAddress(value); !why.empty()) return std::string(key) + " " + why;
    // The pages add their own paths: a query or a fragment would end up in
    // the middle of every link, and a user and password on every page.
    if (const std::size_t at = value.find_first_of("?#@"); at != std::string_view::npos)
        return std::string(key) + " holds \"" + value[at] + "\" (" +
               (value[at] == '@'   ? "a user or password"
                : value[at] == '?' ? "a query"
                                   : "a fragment") +
               "): only scheme, host and folder";
    if (key == "site" && value.back() == '/') return "site ends in \"/\" (the pages add \"/Parlux/...\")";
    return {};
}

bool IsHistoryKey(std::string_view key) { return key == "history" || key == "history_days"; }

// history = on | off, history_days = 1 to 100000; fail gets why not.
template <class Fail>
void ApplyHistoryKey(SiteConfig& config, std::string_view key, std::string_view value, const Fail& fail) {
    if (key == "history") {
        if (value != "on" && value != "off") fail("history is neither on nor off");
        config.history = value == "on";
        return;
    }
    if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string_view::npos)
        fail("history_days is not a number of days");
    const int days = std::stoi(std::string(value));
    if (days < 1 || days > 100000) fail("history_days is not between 1 and 100000");
    config.historyDays = days;
}

}  // namespace

SiteConfig ParseSiteConfig(std::string_view text, const std::string& path) {
    SiteConfig config;
    // A byte-order mark that an editor put before the first key.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') continue;
        const auto fail = [&](const std::string& what) {
            throw SiteConfigError(path + ":" + std::to_string(number) + ": " + what);
        };
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) fail("no \"=\" (lines are key = value)");
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        std::string* target = nullptr;
        if (key == "site") {
            target = &config.site;
        } else if (key == "mail") {
            target = &config.mail;
        } else if (const std::size_t mirror = MirrorNumber(key); mirror > 0) {
            target = &config.mirrors[mirror - 1];
            config.mirrorSet[mirror - 1] = true;
        } else if (IsHistoryKey(key)) {
            ApplyHistoryKey(config, key, value, fail);
            continue;
        } else {
            std::string shown;
            for (const char c : key) shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
            fail("unknown key \"" + shown + "\" (the keys are site, mail, " + MirrorKeys() +
                 ", history and history_days)");
        }
        if (std::string why = Problem(key, value); !why.empty()) fail(why);
        target->assign(value);
    }
    return config;
}

SiteConfig LoadSiteConfig(const fs::path& dataFolder) {
    const fs::path path = dataFolder / std::string(kConfigName);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        // No file: the built-in addresses. A link that leads nowhere is a
        // file meant to be there, and so is one that cannot be reached.
        struct stat link {};
        const bool dangling = ::lstat(path.c_str(), &link) == 0;
        if (!dangling && (error == ENOENT || error == ENOTDIR)) return SiteConfig{};
        throw SiteConfigError(
            path.string() + ": cannot be read: " +
            (dangling && error == ENOENT ? "a link to a file that is not there" : std::strerror(error)));
    }
    if (S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) > kMaxFileSize)
        throw SiteConfigError(path.string() + ": larger than 64 KiB, not a list of addresses");
    std::string text;
    try {
        text = ReadWholeFile(path);
    } catch (const fs::filesystem_error& e) {
        throw SiteConfigError(path.string() + ": cannot be read: " + e.code().message());
    }
    SiteConfig config = ParseSiteConfig(text, path.string());
    config.fromFile = true;
    return config;
}

std::string ConfigTemplate() {
    std::string text =
        "# Parlux.conf: the addresses the pages and menus carry. One key = value\n"
        "# a line; lines starting with # are ignored. Remove the # before a key\n"
        "# and put in your own value.\n"
        "#\n"
        "# site: your primary site, http:// or https://, host and folder, no \"/\"\n"
        "# at the end (the pages link to its /Parlux/ folder).\n"
        "# site = " +
        std::string(kDefaultSite) +
        "\n"
        "# mail: the address of the pages' mail notice.\n"
        "# mail = " +
        std::string(kDefaultMail) +
        "\n"
        "# " +
        MirrorKeys() +
        ": the entries of the Internet menus; once this file\n"
        "# is there, a mirror it does not set is left out of them.\n";
    for (std::size_t i = 0; i < kDefaultMirrors.size(); ++i)
        text += "# mirror" + std::to_string(i + 1) + " = " + std::string(kDefaultMirrors[i]) + "\n";
    text +=
        "# history: on records every run in Parlux.sqlite and writes the trend\n"
        "# pages and Changes.txt; off records nothing.\n"
        "# history = on\n"
        "# history_days: the days of runs the history keeps.\n"
        "# history_days = 400\n";
    return text;
}

fs::path EnsureConfigFile(const fs::path& dataFolder) {
    fs::path path = dataFolder / std::string(kConfigName);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        KeepForFolderOwner(fd, path);
        const std::string text = ConfigTemplate();
        [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
        ::close(fd);
    }
    return path;
}

namespace {
SiteConfig& Active() {
    static SiteConfig config;
    return config;
}
}  // namespace

const SiteConfig& Current() { return Active(); }
void SetCurrent(SiteConfig config) { Active() = std::move(config); }

}  // namespace parlux::site
