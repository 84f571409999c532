#include "Common.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace parlux {

namespace fs = std::filesystem;

const std::array<StatsTypeInfo, 8> kStatsTypes{{
    {"PGP-1", "_rlist.shtml", "V1 Cpunk"},
    {"MIX-1", "_mlist.shtml", "V1 Mix"},
    {"PGP-2", "_rlist2.shtml", "V2 Cpunk"},
    {"MIX-2", "_mlist2.shtml", "V2 Mix"},
    {"K-TY2", "_type2.lis", "MIX Type2"},
    {"K-MIX", "_pubring.mix", "MIX Pubring"},
    {"K-RSA", "_rsakeys.asc", "PGP RSA"},
    {"K-DSS", "_dsskeys.asc", "PGP DSS"},
}};

std::string StatsFileName(std::string_view code, std::string_view nick) {
    for (const StatsTypeInfo& type : kStatsTypes) {
        if (type.code == code) {
            std::string name(nick);
            name += type.suffix;
            return name;
        }
    }
    return {};
}

namespace {

// The length of the UTF-8 sequence starting at text[at], 0 when none is
// valid there (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
    return length;
}

}  // namespace

WidthCut CutToWidth(std::string_view text, std::size_t width) {
    WidthCut cut;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            // Not UTF-8: a byte is a character.
            const std::size_t bytes = std::min(text.size(), width);
            return {bytes, bytes};
        }
        at += length;
        if (cut.characters < width) {
            cut.bytes = at;
            ++cut.characters;
        }
    }
    return cut;
}

std::string PadField(std::string_view text, int width) {
    if (width <= 0) return {};
    const auto w = static_cast<std::size_t>(width);
    const WidthCut cut = CutToWidth(text, w);
    std::string field(text.substr(0, cut.bytes));
    field.append(w - cut.characters, ' ');
    return field;
}

bool ArrayNotInitialized(const Table& table, MessageSink& messages) {
    if (table.loaded()) return false;
    messages.critical("9\r\nSubscript out of range\r\nArray not Initialized");
    return true;
}

void DeleteIfExists(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) return;
    fs::remove(path, ec);
}

fs::path DataFolder() {
    const char* configured = std::getenv("PARLUX_DATA");
    if (configured && *configured) return fs::path(configured);
    return DefaultDataFolder();
}

fs::path DefaultDataFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return fs::path(home) / "Parlux";
    // Cron and some service managers start jobs without HOME: the password
    // database still knows the folder. A shared fallback would mix the data
    // of every user, so without a home folder there is no default at all.
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_dir && *entry->pw_dir) return fs::path(entry->pw_dir) / "Parlux";
    throw DataFolderError("No data folder: HOME is not set and user " + std::to_string(::getuid()) +
                          " has no home folder in the password database; set HOME or PARLUX_DATA");
}

fs::path DataPath(std::string_view name) { return DataFolder() / fs::path(std::string(name)); }

namespace {

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

}  // namespace

fs::path ProgramFolder() { return ExecutablePath().parent_path(); }

std::string ProgramName() { return ExecutablePath().stem().string(); }

fs::path RunLogPath(const fs::path& programFolder, const std::string& programName) {
    const std::string name = programName + ".log";
    if (::access(programFolder.c_str(), W_OK) == 0) return programFolder / name;
    fs::path state;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg == '/')
        state = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        state = fs::path(home) / ".local" / "state";
    else
        return programFolder / name;  // nowhere better: the log says why it cannot be written
    std::error_code ec;
    fs::create_directories(state / "parlux", ec);
    return state / "parlux" / name;
}

fs::path RunLogPath() { return RunLogPath(ProgramFolder(), ProgramName()); }

// ---- run log ---------------------------------------------------------------

namespace {

[[noreturn]] void LogFailure(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

}  // namespace

struct RunLog::File {
    int fd = -1;
    ~File() { shut(); }
    void shut() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

RunLog::RunLog(fs::path path) : path_(std::move(path)), file_(std::make_shared<File>()) {}

void RunLog::reset() const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) LogFailure("cannot empty the run log", path_, errno);
    ::close(fd);  // an open descriptor appends and so goes on at the new end
}

void RunLog::close() const { file_->shut(); }

namespace {

void AppendQuoted(std::string& record, const std::string& text) {
    record += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        record += (byte < 0x20 || byte == 0x7f) ? '?' : c;
    }
    record += '"';
}

}  // namespace

std::string RunLog::append(DateTime localTime, const std::string& top, const std::string& detail) const {
    std::string record = FormatLogDate(localTime);
    record += ',';
    AppendQuoted(record, top);
    record += ',';
    AppendQuoted(record, detail);

    if (file_->fd < 0) {
        file_->fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (file_->fd < 0) LogFailure("cannot open the run log", path_, errno);
    }
    const std::string line = record + "\r\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(file_->fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            file_->shut();
            LogFailure("cannot write the run log", path_, error);
        }
        done += static_cast<std::size_t>(n);
    }
    return record;
}

void FeedbackLines::feedBack(std::string_view top, std::string_view detail, int pauseMs) {
    if (!top.empty()) top_.assign(top);
    if (!detail.empty()) detail_.assign(detail);
    if (display_) {
        display_->showLines(top_, detail_);
        if (pauseMs != 0) display_->pause(pauseMs);
        display_->processEvents();
    }
    // Events may have changed the lines: the record takes them as they stand now.
    const std::string record = log_.append(clock_->localNow(), top_, detail_);
    if (display_) {
        display_->logged(record);
        display_->processEvents();
    }
}

// ---- offset from GMT ---------------------------------------------------------

double GMTOffsetHours = 0.0;

void InitGMTOffset(const Clock& clock) {
    const DateTime utc = clock.utcNow();
    const DateTime local = clock.localNow();
    // Zones are whole minutes from GMT (+5:45, +13:45): rounding to the
    // minute keeps them exact and absorbs a second that ticks between the two
    // readings.
    const double minutes = static_cast<double>((local - utc).count()) / 60.0;
    GMTOffsetHours = std::nearbyint(minutes) / 60.0;
}

DateTime GmtNow(const Clock& clock) {
    const auto offset = std::chrono::seconds{std::llround(GMTOffsetHours * 3600.0)};
    return clock.localNow() - offset;
}

void ResetLog() { RunLog(RunLogPath()).reset(); }

}  // namespace parlux
