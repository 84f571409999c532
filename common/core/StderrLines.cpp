#include "common/core/StderrLines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "common/core/DataFolder.h"

namespace parlux {

namespace {
std::string& StderrName() {
    static std::string name;
    return name;
}
}  // namespace

void SetStderrProgram(std::string name) { StderrName() = std::move(name); }

const std::string& StderrProgram() {
    if (StderrName().empty()) StderrName() = ProgramName();
    return StderrName();
}

std::string OneLine(std::string_view text) {
    std::string line;
    bool broken = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            broken = true;
            continue;
        }
        if (broken && !line.empty()) line += "; ";
        broken = false;
        line += c;
    }
    return line;
}

void StderrLine(std::string_view text) { WriteStderr(StderrProgram() + ": " + OneLine(text) + "\n"); }

bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (!stream) return false;
    unsigned long long device = 0, inode = 0;
    char end = 0;
    if (std::sscanf(stream, "%llu:%llu%c", &device, &inode, &end) != 2) return false;
    struct stat info {};
    return ::fstat(STDERR_FILENO, &info) == 0 && static_cast<unsigned long long>(info.st_dev) == device &&
           static_cast<unsigned long long>(info.st_ino) == inode;
}

void WriteStderr(std::string_view lines) {
    std::string text;
    if (StderrIsJournal()) {
        for (std::size_t pos = 0; pos < lines.size();) {
            std::size_t end = lines.find('\n', pos);
            end = end == std::string_view::npos ? lines.size() : end + 1;
            const std::string_view line = lines.substr(pos, end - pos);
            text += line.find("not reached") != std::string_view::npos ? "<4>" : "<3>";
            text += line;
            pos = end;
        }
    } else {
        text = lines;
    }
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

int StderrLines::overflow(int c) {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (c == '\n') {
        // A line that names the program already is passed on as it is.
        const std::string head = StderrProgram() + ": ";
        StderrLine(line_.starts_with(head) ? std::string_view(line_).substr(head.size()) : std::string_view(line_));
        line_.clear();
    } else {
        line_ += static_cast<char>(c);
    }
    return c;
}

StderrLines::StderrLines() : saved_(std::cerr.rdbuf(this)) {}

StderrLines::~StderrLines() {
    std::cerr.rdbuf(saved_);
    if (!line_.empty()) StderrLine(line_);
}

}  // namespace parlux
