#pragma once
// The lines a program writes on stderr, each after the program's name and a
// colon, so that cron's mail says who is speaking.
#include <streambuf>
#include <string>
#include <string_view>

namespace parlux {

// "<program>: <text>" on stderr as one line: the line breaks of a message
// box's text become "; ". The program is ProgramName() unless set.
void SetStderrProgram(std::string name);
const std::string& StderrProgram();
std::string OneLine(std::string_view text);
void StderrLine(std::string_view text);

// Whether stderr is the journal: JOURNAL_STREAM ("<device>:<inode>", set
// by systemd) names what descriptor 2 is.
bool StderrIsJournal();
// Writes whole lines ("<program>: ...\n") to stderr. When it is the journal
// each line gets the kernel-style level the journal files it under: "<4>"
// (warning) for a pinger not reached, "<3>" (error) for any other; cron and
// a terminal get the lines as they are.
void WriteStderr(std::string_view lines);

// An ostream buffer that starts every line it passes on to stderr with
// "<program>: ". While it lives, std::cerr writes through it.
class StderrLines final : public std::streambuf {
public:
    StderrLines();
    ~StderrLines() override;
    StderrLines(const StderrLines&) = delete;
    StderrLines& operator=(const StderrLines&) = delete;

protected:
    int overflow(int c) override;

private:
    std::string line_;
    std::streambuf* saved_;
};

}  // namespace parlux
