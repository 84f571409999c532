#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

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

void ExpectGolden(const std::string& actual, const std::filesystem::path& expectedFile) {
    if (const char* update = std::getenv("PARLUX_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::filesystem::create_directories(expectedFile.parent_path());
        WriteFile(expectedFile, actual);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(expectedFile)) << "missing expected file " << expectedFile;
    const std::string expected = ReadFile(expectedFile);
    if (expected == actual) return;
    // Point at the first line that differs.
    const auto a = CrLfLines(actual), e = CrLfLines(expected);
    std::size_t i = 0;
    while (i < a.size() && i < e.size() && a[i] == e[i]) ++i;
    ADD_FAILURE() << "the produced text differs from " << expectedFile.string() << " at line " << i + 1
                  << "\n  expected: [" << (i < e.size() ? e[i] : "<end>") << "]\n  actual:   ["
                  << (i < a.size() ? a[i] : "<end>") << "]";
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

}  // namespace parlux::test
