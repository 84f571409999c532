#include "common/core/StderrLines.h"

#include <cstdio>
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

void StderrLine(std::string_view text) {
    const std::string line = StderrProgram() + ": " + OneLine(text) + "\n";
    std::fflush(stdout);
    std::fwrite(line.data(), 1, line.size(), stderr);
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
