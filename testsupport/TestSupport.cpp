#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace parlux::test {

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("parlux-test-" + std::to_string(rd()) + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::vector<std::string> CrLfLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        auto end = content.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(content.substr(pos));
            break;
        }
        lines.push_back(content.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

namespace {

std::vector<std::string> LfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

namespace {

struct ScriptLine {
    char mark;                 // ' ' in both, '-' expected only, '+' actual only
    std::size_t expectedLine;  // from 1: where it stands in the expected text
    std::string text;
};

// The edit script of the lines from..to (exclusive) of both texts, from their
// longest common subsequence; beyond a size where that costs too much, all
// of the one followed by all of the other.
void MiddleScript(const std::vector<std::string>& e, const std::vector<std::string>& a, std::size_t from, std::size_t n,
                  std::size_t m, std::vector<ScriptLine>& script) {
    if (n * m > 4'000'000) {
        for (std::size_t i = 0; i < n; ++i) script.push_back({'-', from + i + 1, e[from + i]});
        for (std::size_t j = 0; j < m; ++j) script.push_back({'+', from + n + 1, a[from + j]});
        return;
    }
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[i][j] =
                e[from + i] == a[from + j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && e[from + i] == a[from + j]) {
            script.push_back({' ', from + i + 1, e[from + i]});
            ++i, ++j;
        } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
            script.push_back({'-', from + i + 1, e[from + i]});
            ++i;
        } else {
            script.push_back({'+', from + i + 1, a[from + j++]});
        }
    }
}

// The changed lines and their context; a gap starts a new "@@" block.
std::string Hunks(const std::vector<ScriptLine>& script, std::size_t context) {
    std::vector<bool> shown(script.size(), false);
    for (std::size_t k = 0; k < script.size(); ++k) {
        if (script[k].mark == ' ') continue;
        const std::size_t last = std::min(script.size() - 1, k + context);
        for (std::size_t l = k >= context ? k - context : 0; l <= last; ++l) shown[l] = true;
    }
    std::string out;
    for (std::size_t k = 0; k < script.size(); ++k) {
        if (!shown[k]) continue;
        if (k == 0 || !shown[k - 1]) out += "@@ expected line " + std::to_string(script[k].expectedLine) + "\n";
        out += script[k].mark + script[k].text + "\n";
    }
    return out;
}

}  // namespace

std::string LineDiff(const std::string& expected, const std::string& actual, std::size_t context) {
    const auto e = LfLines(expected), a = LfLines(actual);
    // The common head and tail stay out of the costly comparison.
    std::size_t head = 0;
    while (head < e.size() && head < a.size() && e[head] == a[head]) ++head;
    std::size_t tail = 0;
    while (tail < e.size() - head && tail < a.size() - head && e[e.size() - 1 - tail] == a[a.size() - 1 - tail]) ++tail;
    const std::size_t n = e.size() - head - tail, m = a.size() - head - tail;
    std::vector<ScriptLine> script;
    for (std::size_t k = 0; k < head; ++k) script.push_back({' ', k + 1, e[k]});
    MiddleScript(e, a, head, n, m, script);
    for (std::size_t k = head + n; k < e.size(); ++k) script.push_back({' ', k + 1, e[k]});
    return Hunks(script, context);
}

std::filesystem::path ActualFileFor(const std::filesystem::path& expectedFile) {
    const auto relative = expectedFile.lexically_relative(SourceDir());
    const bool inside = !relative.empty() && *relative.begin() != "..";
    return BinDir().parent_path() / "golden-actual" / (inside ? relative : expectedFile.filename());
}

void ExpectGolden(const std::string& actual, const std::filesystem::path& expectedFile) {
    if (const char* update = std::getenv("PARLUX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::filesystem::create_directories(expectedFile.parent_path());
        WriteFile(expectedFile, actual);
        return;
    }
    const bool exists = std::filesystem::exists(expectedFile);
    const std::string expected = exists ? ReadFile(expectedFile) : std::string();
    if (exists && expected == actual) return;
    const auto kept = ActualFileFor(expectedFile);
    std::filesystem::create_directories(kept.parent_path());
    WriteFile(kept, actual);
    ADD_FAILURE() << (exists ? "the produced text differs from " : "missing expected file ") << expectedFile.string()
                  << "\n  produced text kept in " << kept.string()
                  << "\n  (PARLUX_UPDATE_GOLDEN=1 rewrites the expected file)\n"
                  << (exists ? LineDiff(expected, actual) : std::string());
}

std::filesystem::path SourceDir() { return PARLUX_SOURCE_DIR; }
std::filesystem::path BinDir() { return PARLUX_BIN_DIR; }

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ScopedTimeZone::ScopedTimeZone(const char* tz) : env_(std::make_unique<ScopedEnv>("TZ", tz)) { ::tzset(); }

ScopedTimeZone::~ScopedTimeZone() {
    env_.reset();
    ::tzset();
}

std::string AnswerAsUser(unsigned uid, const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no child";
    if (child == 0) {
        ::close(out[0]);
        const std::string said = ::setgid(static_cast<gid_t>(uid)) != 0 || ::setuid(static_cast<uid_t>(uid)) != 0
                                     ? "cannot change user"
                                     : body();
        const ssize_t written = ::write(out[1], said.data(), said.size());
        ::_exit(written == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    ::close(out[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return said;
}

}  // namespace parlux::test
