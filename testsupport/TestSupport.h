#pragma once
// Helpers shared by the test suites: scratch folders, a fixed clock, sinks
// that record what they are given, file helpers and the expected-file check.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/core/Sinks.h"

namespace parlux::test {

// A fresh folder under the system temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A clock that says what it is told.
class FixedClock final : public Clock {
public:
    FixedClock(DateTime local, DateTime utc) : local_(local), utc_(utc) {}
    DateTime localNow() const override { return local_; }
    DateTime utcNow() const override { return utc_; }
    void set(DateTime local, DateTime utc) {
        local_ = local;
        utc_ = utc;
    }

private:
    DateTime local_, utc_;
};

class RecordingMessages final : public MessageSink {
public:
    void critical(std::string_view text) override { texts.emplace_back(text); }
    bool ask(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    std::vector<std::string> texts;
    std::vector<std::string> questions;
    bool answer = false;  // to every question
};

// Whole-file helpers (binary).
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
// Splits on CR LF; a trailing CR LF gives no empty last element.
std::vector<std::string> CrLfLines(const std::string& content);
// The LF-ended lines of a program's output, by the program that each names
// before its first ": " ("Pulsegrid: #2026/..."), without that name; a
// line that names none goes under "".
std::map<std::string, std::vector<std::string>> LinesByProgram(const std::string& output);

// Compares produced text with an expected file kept in the repository. On a
// mismatch the text is written beside the build (ActualFileFor) and the
// failure shows a line diff; with PARLUX_UPDATE_GOLDEN=1 in the environment
// the expected file is rewritten with the text instead.
void ExpectGolden(const std::string& actual, const std::filesystem::path& expectedFile);
// Where a mismatching text of that expected file is kept: golden-actual/ in
// the build folder, under the expected file's path in the repository.
std::filesystem::path ActualFileFor(const std::filesystem::path& expectedFile);
// The lines that differ between two texts (split on LF, a CR before it kept
// out of sight): "-" expected, "+" actual, with up to context lines around
// each change; empty when they are equal.
std::string LineDiff(const std::string& expected, const std::string& actual, std::size_t context = 2);

// The repository's source folder and the program folder of the build.
std::filesystem::path SourceDir();
std::filesystem::path BinDir();

// Sets (or, with nullptr, clears) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// Runs body in a forked child as user uid (and group uid), the way root
// tests what another user may do, and returns the text body gave back;
// "cannot change user" when the child could not become that user.
std::string AnswerAsUser(unsigned uid, const std::function<std::string()>& body);

// Sets TZ for the scope, so that file times read back as known wall-clock times.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::unique_ptr<ScopedEnv> env_;
};

}  // namespace parlux::test
