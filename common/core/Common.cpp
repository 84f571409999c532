#include "Common.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
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

std::string PadField(std::string_view text, int width) {
    if (width <= 0)
        return {};
    const auto w = static_cast<std::size_t>(width);
    std::string field(text.substr(0, w));
    field.resize(w, ' ');
    return field;
}

bool ArrayNotInitialized(const Table& table, MessageSink& messages) {
    if (table.loaded())
        return false;
    messages.critical("9\r\nSubscript out of range\r\nArray not Initialized");
    return true;
}

void DeleteIfExists(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status))
        return;
    fs::remove(path, ec);
}

fs::path DataFolder() {
    const char* configured = std::getenv("PARLUX_DATA");
    if (configured && *configured)
        return fs::path(configured);
    return DefaultDataFolder();
}

fs::path DefaultDataFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home)
        return fs::path(home) / "Parlux";
    // Cron and some service managers start jobs without HOME: the password
    // database still knows the folder. A shared fallback would mix the data
    // of every user, so without a home folder there is no default at all.
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_dir && *entry->pw_dir)
        return fs::path(entry->pw_dir) / "Parlux";
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

void RunLog::reset() const {
    errno = 0;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    if (!out)
        LogFailure("cannot empty the run log", path_, errno ? errno : EIO);
}

std::string RunLog::append(DateTime localTime, const std::string& top, const std::string& detail) const {
    std::string record = FormatLogDate(localTime);
    record += ",\"";
    record += top;
    record += "\",\"";
    record += detail;
    record += '"';

    errno = 0;
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    if (!out)
        LogFailure("cannot open the run log", path_, errno ? errno : EIO);
    out << record << "\r\n";
    out.close();
    if (!out)
        LogFailure("cannot write the run log", path_, errno ? errno : EIO);
    return record;
}

void FeedbackLines::feedBack(std::string_view top, std::string_view detail, int pauseMs) {
    if (!top.empty())
        top_.assign(top);
    if (!detail.empty())
        detail_.assign(detail);
    if (display_) {
        display_->showLines(top_, detail_);
        if (pauseMs != 0)
            display_->pause(pauseMs);
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
    const double hours = static_cast<double>((local - utc).count()) / 3600.0;
    GMTOffsetHours = std::nearbyint(hours * 10.0) / 10.0;
}

DateTime GmtNow(const Clock& clock) {
    const auto offset = std::chrono::seconds{std::llround(GMTOffsetHours * 3600.0)};
    return clock.localNow() - offset;
}

void ResetLog() { RunLog(RunLogPath()).reset(); }

}  // namespace parlux
