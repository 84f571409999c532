#include "common/core/Files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "common/core/WholeFile.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

// "before-20261209-061500": the local time of the copy, as the maintainer's
// own clock and `ls` show it.
std::string BeforeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "before-%Y%m%d-%H%M%S", &local);
    return text;
}

// Keeps the target under a name of its own (a second link to the same file,
// never over another file), so that the copy that replaces it loses nothing.
// The name kept, or "" with the reason in `why`.
std::string KeepAside(const fs::path& target, std::string& why) {
    const std::string base = target.string() + "." + BeforeStamp();
    for (int n = 0; n < 100; ++n) {
        std::string kept = n == 0 ? base : base + "-" + std::to_string(n);
        if (::link(target.c_str(), kept.c_str()) == 0) return kept;
        if (errno != EEXIST) break;
    }
    why = std::error_code(errno, std::generic_category()).message();
    return "";
}

}  // namespace

int CopyFilesOver(const fs::path& from, const fs::path& to, const std::vector<std::string>& names,
                  MessageSink& messages) {
    int copied = 0;
    std::string problems;  // one box for all of them
    const auto say = [&problems](const std::string& text) { problems += (problems.empty() ? "" : "\n") + text; };
    for (const std::string& name : names) {
        const fs::path source = from / name;
        const fs::path target = to / name;
        std::error_code ec;
        if (!fs::is_regular_file(source, ec)) {
            say(source.string() + " Not found");
            continue;
        }
        try {
            const std::string content = ReadWholeFile(source);
            // The data folder's copy may be the maintainer's edited list.
            if (fs::is_regular_file(target, ec) && ReadWholeFile(target) != content) {
                std::string why;
                const std::string kept = KeepAside(target, why);
                if (kept.empty()) {
                    say(target.string() + " differs from " + source.string() + " and cannot be kept: " + why +
                        ": not replaced");
                    continue;
                }
                say(target.string() + " differed from " + source.string() + ": kept as " + kept);
            }
            ReplaceWholeFile(target, content);
            ++copied;
        } catch (const fs::filesystem_error& e) {
            say(source.string() + " cannot be copied to " + target.string() + ": " + e.code().message());
        }
    }
    if (!problems.empty()) messages.critical(problems);
    return copied;
}

void DeleteIfExists(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) return;
    fs::remove(path, ec);
}

}  // namespace parlux
