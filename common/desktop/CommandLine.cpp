#include "common/desktop/CommandLine.h"

#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "common/core/Process.h"
#include "common/core/TextFields.h"

namespace parlux {

namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file name of a program as written on a command line, where either slash
// may separate the folders.
std::string BaseName(const std::string& program) {
    const auto slash = program.find_last_of("/\\");
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

// The text after the first word of a command line (the word ends at the first
// blank outside double quotes, as SplitCommandLine reads it), trimmed.
std::string AfterFirstWord(std::string_view commandLine) {
    std::size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
        if (commandLine[i] == '"')
            quoted = !quoted;
        else if (!quoted && IsBlank(commandLine[i]))
            break;
    }
    return Trim(commandLine.substr(i));
}

bool Exists(const std::string& path);

// One path given as the rest of a command line: taken as written, so that
// unquoted blanks stay part of it; quotes only group. A path put between
// quotes as a whole keeps the quotes of its own name (a file name may hold
// one): what stands between the outer quotes is taken when it reads as one
// word or names a file.
std::string PathArgument(const std::string& rest) {
    if (rest.find('"') == std::string::npos) return rest;
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
        std::string inner = rest.substr(1, rest.size() - 2);
        if (SplitCommandLine(rest).size() == 1 || Exists(inner)) return inner;
    }
    std::string joined;
    for (const auto& word : SplitCommandLine(rest)) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

// A path written with backslashes (program folder + "\" + name) names the same
// file with slashes when only that one exists.
std::string LocalPath(const std::string& path) {
    if (path.find('\\') == std::string::npos || Exists(path)) return path;
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return Exists(slashed) ? slashed : path;
}

}  // namespace

bool EndsWithExe(const std::string& name) { return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".exe"; }

bool Runnable(const std::string& program) {
    if (program.empty()) return false;
    if (program.find('/') == std::string::npos)
        return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
    std::error_code ec;
    return fs::is_regular_file(program, ec) && ::access(program.c_str(), X_OK) == 0;
}

std::string ResolveProgram(const std::string& program) {
    if (Runnable(program)) return program;
    std::string slashed = program;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const auto& candidate : {slashed, slashed.substr(0, slashed.size() - (EndsWithExe(slashed) ? 4 : 0))})
        if (candidate != program && Runnable(candidate)) return candidate;
    return program;
}

std::vector<std::string> MapCommandLine(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return {};
    const std::string name = Lower(BaseName(words.front()));

    // The text editor and the hex editor both become the desktop's opener.
    if (name == "editpad.exe" || name == "editpad" || name == "hedit.exe" || name == "hedit") {
        const std::string file = LocalPath(PathArgument(AfterFirstWord(commandLine)));
        if (file.empty()) return {};
        return {kOpener, file};
    }
    if (name == "explorer.exe" || name == "explorer") {
        // "/n," (new window) and "/e," (with the folder tree) only shape the window.
        std::string rest = AfterFirstWord(commandLine);
        for (;;) {
            const std::string head = Lower(rest.substr(0, 3));
            if (head != "/n," && head != "/e,") break;
            rest = Trim(rest.substr(3));
        }
        const std::string folder = LocalPath(PathArgument(rest));
        if (folder.empty()) return {};
        return {kOpener, folder};
    }
    words.front() = ResolveProgram(words.front());
    return words;
}

}  // namespace parlux
