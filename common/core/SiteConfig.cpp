#include "common/core/SiteConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "common/core/FolderOwner.h"
#include "common/core/WholeFile.h"

namespace parlux::site {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFileSize = 64 * 1024;  // a handful of lines; anything bigger is not this file

const ConfKey* FindKey(std::string_view name) {
    for (const ConfKey& key : kConfKeys)
        if (key.name == name) return &key;
    return nullptr;
}

// How the template, the manual and the messages name a key: "mirror1 to
// mirror4" for one told together with the keys after it.
std::string Label(std::size_t index) {
    std::size_t last = index;
    while (last + 1 < kConfKeys.size() && kConfKeys[last + 1].comment.empty()) ++last;
    std::string label(kConfKeys[index].name);
    if (last != index) label += " to " + std::string(kConfKeys[last].name);
    return label;
}

// "site, mail, mirror1 to mirror4, history and history_days"
std::string KeyLabels() {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < kConfKeys.size(); ++i)
        if (!kConfKeys[i].comment.empty()) labels.push_back(Label(i));
    std::string text;
    for (std::size_t i = 0; i < labels.size(); ++i)
        text += (i == 0 ? "" : i + 1 == labels.size() ? " and " : ", ") + labels[i];
    return text;
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

// Why an address value cannot be used; "" when it can.
std::string Problem(const ConfKey& conf, std::string_view value) {
    const std::string_view key = conf.name;
    if (value.empty()) return "no value for " + std::string(key);
    if (std::string bad = BadCharacter(value); !bad.empty()) return std::string(key) + " " + bad;
    if (conf.kind == ConfValue::kMailAddress) {
        if (value.find('@') == std::string_view::npos) return std::string(key) + " is not a mail address (no \"@\")";
        if (value.find_first_of("?&#") != std::string_view::npos)
            return std::string(key) + " holds \"?\", \"&\" or \"#\"";
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
    if (conf.kind == ConfValue::kWebFolder && value.back() == '/')
        return std::string(key) + " ends in \"/\" (the pages add \"/Parlux/...\")";
    return {};
}

// Why an on/off or days value cannot be used; "" when it can.
std::string SettingProblem(const ConfKey& conf, std::string_view value) {
    const std::string key(conf.name);
    if (conf.kind == ConfValue::kOnOff) return value == "on" || value == "off" ? "" : key + " is neither on nor off";
    if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string_view::npos)
        return key + " is not a number of days";
    if (const int days = DaysOf(value); days < 1 || days > 100000) return key + " is not between 1 and 100000";
    return {};
}

// The field of the config a key sets; value is a good one.
void StoreValue(SiteConfig& config, const ConfKey& key, std::string_view value) {
    if (key.name == "site") {
        config.site = value;
    } else if (key.name == "mail") {
        config.mail = value;
    } else if (key.kind == ConfValue::kWebAddress) {
        std::size_t mirror = 0;  // the web addresses before it
        for (const ConfKey* k = kConfKeys.data(); k != &key; ++k) mirror += k->kind == ConfValue::kWebAddress ? 1 : 0;
        config.mirrors.at(mirror) = value;
        config.mirrorSet.at(mirror) = true;
    } else if (key.name == "history") {
        config.history = value == "on";
    } else if (key.name == "history_days") {
        config.historyDays = DaysOf(value);
    }
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
        const ConfKey* conf = FindKey(key);
        if (conf == nullptr) {
            std::string shown;
            for (const char c : key) shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
            fail("unknown key \"" + shown + "\" (the keys are " + KeyLabels() + ")");
        }
        const bool setting = conf->kind == ConfValue::kOnOff || conf->kind == ConfValue::kDays;
        if (std::string why = setting ? SettingProblem(*conf, value) : Problem(*conf, value); !why.empty()) fail(why);
        StoreValue(config, *conf, value);
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

namespace {
// Each line of text after prefix.
std::string Prefixed(std::string_view prefix, std::string_view text) {
    std::string lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.append(prefix).append(text.substr(start, end - start)).append("\n");
        start = end + 1;
    }
    return lines;
}
}  // namespace

std::string ConfigTemplate() {
    std::string text =
        "# Parlux.conf: the addresses the pages and menus carry. One key = value\n"
        "# a line; lines starting with # are ignored. Remove the # before a key\n"
        "# and put in your own value.\n"
        "#\n";
    for (std::size_t i = 0; i < kConfKeys.size(); ++i) {
        const ConfKey& key = kConfKeys[i];
        if (!key.comment.empty()) text += Prefixed("# ", Label(i) + ": " + std::string(key.comment));
        text += "# " + std::string(key.name) + " = " + std::string(key.defaultValue) + "\n";
    }
    return text;
}

std::string ConfigManualKeys() {
    std::string text;
    for (std::size_t i = 0; i < kConfKeys.size(); ++i) {
        if (kConfKeys[i].manual.empty()) continue;
        const std::string label = Label(i);
        const std::size_t to = label.find(" to ");
        text += ".TP\n";
        if (to == std::string::npos)
            text.append(".B ").append(label);
        else
            text.append(".BR ").append(label, 0, to).append(" \" to \" ").append(label, to + 4);
        text.append("\n").append(kConfKeys[i].manual).append("\n");
    }
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
