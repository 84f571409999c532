// Concurrent HTTP transfers with libcurl's multi interface. Every transfer,
// whatever it is for, gets its handle from ConfigureHandle: the same
// protocols, redirect rules, address check, limits and request headers.
#include "common/core/Transfers.h"

#include "common/core/FolderOwner.h"
#include "common/core/TextFields.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "common/core/DataFolder.h"
#include "common/core/DataFolderLock.h"
#include "common/core/ScratchFiles.h"
#include "common/core/WholeFile.h"

namespace parlux {

DownloadLimits& CurrentDownloadLimits() {
    static DownloadLimits limits;
    return limits;
}

std::optional<std::string> TransferResult::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return value;
    }
    return std::nullopt;
}

bool IsInternalAddress(std::string_view ip) {
    const std::string text(ip);
    unsigned char v6[16];
    unsigned char v4[4];
    if (::inet_pton(AF_INET6, text.c_str(), v6) == 1) {
        static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        if (std::memcmp(v6, kMapped, 12) != 0) {
            bool zeroUpTo15 = std::all_of(v6, v6 + 15, [](unsigned char b) { return b == 0; });
            if (zeroUpTo15 && (v6[15] == 0 || v6[15] == 1)) return true;  // :: and ::1
            if (v6[0] == 0xfe && (v6[1] & 0xc0) == 0x80) return true;     // fe80::/10 link-local
            if ((v6[0] & 0xfe) == 0xfc) return true;                      // fc00::/7 unique local
            if (v6[0] == 0xff) return true;                               // multicast
            return false;
        }
        std::memcpy(v4, v6 + 12, 4);
    } else if (::inet_pton(AF_INET, text.c_str(), v4) != 1) {
        return true;  // not an address: never treat it as public
    }
    const unsigned a = v4[0], b = v4[1];
    return a == 0 || a == 10 || a == 127 || a >= 224 ||  // unspecified, private, loopback, multicast/reserved
           (a == 100 && (b & 0xc0) == 64) ||             // 100.64/10 shared
           (a == 169 && b == 254) ||                     // link-local, cloud metadata
           (a == 172 && (b & 0xf0) == 16) || (a == 192 && b == 168);
}

std::string ScratchPrefix() { return std::string(".").append(ProgramName()).append(".part-"); }

int RemoveStaleScratchFiles(const std::filesystem::path& folder, const std::vector<std::string>& fileNames) {
    const std::string own = ScratchPrefix();
    const std::string older = ".part-";
    const std::unordered_set<std::string> named(fileNames.begin(), fileNames.end());
    auto isScratch = [&](const std::string& name) {
        // Both namings end in six random characters.
        if (name.size() < older.size() + 6) return false;
        if (name.rfind(own, 0) == 0 && name.size() == own.size() + 6) return true;
        const std::size_t mark = name.size() - 6 - older.size();
        return name.compare(mark, older.size(), older) == 0 && named.count(name.substr(0, mark));
    };
    // Another copy of the program (root's cron and the maintainer's window)
    // may be writing into the same folder: a scratch file written to within
    // the longest a transfer may last can still be in use, and stays. Not so
    // while this program holds the folder's lock: then no copy of it is
    // running there, and its own scratch files go whatever their age.
    const bool locked = HoldsDataFolderLock(folder);
    const std::time_t now = std::time(nullptr);
    const std::time_t inUse = std::max<long>(CurrentDownloadLimits().totalTimeoutSeconds, 1);
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto name = it->path().filename().string();
        struct stat info {};
        if (!isScratch(name) || ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const bool ours = name.rfind(own, 0) == 0;
        if (!(locked && ours) && now - info.st_mtime <= inUse) continue;
        if (::unlink(it->path().c_str()) == 0) ++removed;
    }
    return removed;
}

namespace {

constexpr const char* kAgent = "VB OpenUrl";
constexpr long kMaxRedirects = 10;

void InitCurlOnce() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
}

enum class Sink { File, Headers, Text };

// One transfer in flight and everything its callbacks need.
struct Job {
    std::size_t index = 0;  // among the requests
    bool inFlight = false;  // added to the multi handle
    Sink sink = Sink::File;
    std::string url;
    TransferResult* result = nullptr;
    DownloadLimits limits;

    CURL* easy = nullptr;
    curl_slist* requestHeaders = nullptr;

    // File: the scratch file; Text: the body.
    std::filesystem::path target;
    std::string scratch;
    int scratchMark = -1;  // NoteScratchFile's
    std::FILE* out = nullptr;
    std::string* text = nullptr;
    std::string saveError;  // the local side failed
    bool overCap = false;
    bool completedBody = false;  // Text: the whole body arrived, whatever the status

    // Headers: the response being received and whether it is the final one.
    std::vector<std::pair<std::string, std::string>> current;
    bool finalHeaders = false;

    // The address check.
    int connections = 0;
    bool sawPublic = false;
    std::string refusedAddress;

    // libcurl's own words on a failure ("unable to get local issuer certificate").
    char errorText[CURL_ERROR_SIZE] = {};

    ~Job() {
        if (out) std::fclose(out);
        if (!scratch.empty()) ::unlink(scratch.c_str());
        ForgetScratchFile(scratchMark);
        if (easy) curl_easy_cleanup(easy);
        if (requestHeaders) curl_slist_free_all(requestHeaders);
    }
};

std::string ErrnoText(int error) { return std::strerror(error); }

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* job = static_cast<Job*>(user);
    const std::size_t bytes = size * count;
    if (job->sink == Sink::Headers) return 0;  // the body is never read
    if (job->result->bytes + static_cast<std::int64_t>(bytes) > job->limits.maxBytes) {
        job->overCap = true;
        return 0;
    }
    if (job->sink == Sink::Text) {
        job->text->append(data, bytes);
    } else if (std::fwrite(data, 1, bytes, job->out) != bytes) {
        job->saveError = "cannot save " + job->target.string() + ": " + ErrnoText(errno);
        return 0;
    }
    job->result->bytes += static_cast<std::int64_t>(bytes);
    return bytes;
}

// Collects each response's header block; at the end of the final one a probe
// stops the transfer before any body is read.
std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* job = static_cast<Job*>(user);
    const std::size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (line.rfind("HTTP/", 0) == 0) {
        job->current.clear();
        return bytes;
    }
    if (line == "\r\n" || line == "\n") {
        long status = 0;
        curl_easy_getinfo(job->easy, CURLINFO_RESPONSE_CODE, &status);
        // 1xx answers, and a proxy's answer to CONNECT (no status of the server yet), come first.
        const bool interim = status < 200;
        bool redirect = false;
        if (status >= 300 && status < 400 && status != 304) {
            for (const auto& [key, value] : job->current) {
                if (key.size() == 8 && strncasecmp(key.c_str(), "location", 8) == 0 && !value.empty()) redirect = true;
            }
        }
        if (interim || redirect) return bytes;  // libcurl goes on to the next response
        job->result->headers = job->current;
        job->finalHeaders = true;
        return job->sink == Sink::Headers ? 0 : bytes;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos)
        job->current.emplace_back(Trim(line.substr(0, colon), " \t\r\n"), Trim(line.substr(colon + 1), " \t\r\n"));
    return bytes;
}

// Called on every connection used, before the request goes out: a transfer
// that has been on a public address never goes on to an internal one.
int OnConnected(void* user, char* remoteIp, char*, int remotePort, int) {
    auto* job = static_cast<Job*>(user);
    const std::string ip = remoteIp ? remoteIp : "";
    const bool internal =
        job->limits.internalAddress ? job->limits.internalAddress(ip, remotePort) : IsInternalAddress(ip);
    ++job->connections;
    if (internal && job->sawPublic) {
        job->refusedAddress = ip;
        return CURL_PREREQFUNC_ABORT;
    }
    if (!internal) job->sawPublic = true;
    return CURL_PREREQFUNC_OK;
}

bool ConfigureHandle(Job& job) {
    job.easy = curl_easy_init();
    if (!job.easy) return false;
    CURL* h = job.easy;
    const bool probe = job.sink == Sink::Headers;
    job.requestHeaders = curl_slist_append(job.requestHeaders, "Cache-Control: no-cache");
    job.requestHeaders = curl_slist_append(job.requestHeaders, "Pragma: no-cache");
    curl_easy_setopt(h, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, kAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, job.requestHeaders);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &OnConnected);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &job);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT,
                     probe ? job.limits.probeConnectTimeoutSeconds : job.limits.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, probe ? job.limits.probeTotalTimeoutSeconds : job.limits.totalTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, job.limits.lowSpeedTimeSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(job.limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &job);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &job);
    curl_easy_setopt(h, CURLOPT_PRIVATE, &job);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, job.errorText);
    return true;
}

// A new scratch file in the folder, noted before it exists: a signal that
// comes while it is made finds it on the list (unlinking a name not yet made
// does no harm), so it never outlives the program. -1 with errno set.
int CreateNotedScratch(const std::filesystem::path& folder, std::string& name, int& mark) {
    static constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'A');
        for (char& c : suffix) c = kLetters[random() % kLetters.size()];
        name = (folder / (ScratchPrefix() + suffix)).string();
        mark = NoteScratchFile(name);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return fd;
        const int error = errno;
        ForgetScratchFile(mark);
        mark = -1;
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

// File mode: the scratch file beside the target, with the replacement's mode.
bool OpenScratch(Job& job) {
    const auto folder = job.target.has_parent_path() ? job.target.parent_path() : std::filesystem::path(".");
    std::string name;
    int mark = -1;
    const int fd = CreateNotedScratch(folder, name, mark);
    if (fd < 0) {
        job.saveError = "cannot save in " + folder.string() + ": " + ErrnoText(errno);
        return false;
    }
    job.scratch = name;
    job.scratchMark = mark;
    ::fchmod(fd, static_cast<mode_t>(ReplacementMode(job.target)));
    KeepForFolderOwner(fd, job.target);
    job.out = ::fdopen(fd, "wb");
    if (!job.out) {
        job.saveError = "cannot save in " + folder.string() + ": " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    return true;
}

// Prepares a job; false when it failed before any request (its result says why).
bool StartJob(Job& job) {
    if (job.sink == Sink::File && !OpenScratch(job)) {
        job.result->error = job.saveError;
        job.result->saveFailed = true;
        return false;
    }
    if (!ConfigureHandle(job)) {
        job.result->error = "cannot start a transfer";
        return false;
    }
    return true;
}

// Why a whole answer to a file transfer is no page to keep in place of the
// copy there (an empty body, no content, part of a body, an error status);
// "" when it is one. A pinger that truncates its file while regenerating it
// must not cost the last good copy.
std::string RefusedFileAnswer(long status, std::int64_t bytes) {
    if (status < 200 || status > 299) return "HTTP status " + std::to_string(status);
    if (status == 204) return "HTTP status 204, no content";
    if (status == 206) return "HTTP status 206, a partial body";
    if (bytes == 0) return "an empty answer";
    return {};
}

// Why a transfer that did not succeed failed, in words, into its result.
void SetFailure(Job& job, CURLcode code, const std::string& refused) {
    TransferResult& result = *job.result;
    if (job.sink == Sink::File) result.bytes = 0;
    if (!job.saveError.empty()) {
        result.error = job.saveError;
        result.saveFailed = true;
    } else if (!job.refusedAddress.empty()) {
        result.error = "redirected to the internal address " + job.refusedAddress;
    } else if (job.overCap || code == CURLE_FILESIZE_EXCEEDED) {
        result.error = "larger than " + std::to_string(job.limits.maxBytes) + " bytes";
    } else if (code != CURLE_OK) {
        result.error = curl_easy_strerror(code);
        // The detail names the certificate or the host that failed. A refused
        // connection or a time-out only gets timings from it, which would make
        // every night's line differ: those keep the code's text alone.
        const std::string detail = Trim(job.errorText);
        if (!detail.empty() && detail != result.error && code != CURLE_COULDNT_CONNECT &&
            code != CURLE_OPERATION_TIMEDOUT)
            result.error += ": " + detail;
    } else {
        result.error = refused.empty() ? "HTTP status " + std::to_string(result.status) : refused;
    }
}

void FinishJob(Job& job, CURLcode code) {
    TransferResult& result = *job.result;
    curl_easy_getinfo(job.easy, CURLINFO_RESPONSE_CODE, &result.status);
    if (job.out) {
        if (std::fclose(job.out) != 0 && job.saveError.empty())
            job.saveError = "cannot save " + job.target.string() + ": " + ErrnoText(errno);
        job.out = nullptr;
    }
    const bool success = result.status >= 200 && result.status <= 299;
    const std::string refused = job.sink == Sink::File ? RefusedFileAnswer(result.status, result.bytes) : "";
    if (job.sink == Sink::Headers) {
        result.ok = job.finalHeaders;
    } else if (job.sink == Sink::Text) {
        job.completedBody = code == CURLE_OK;
        result.ok = job.completedBody && success;
    } else if (code == CURLE_OK && refused.empty() && job.saveError.empty()) {
        if (::rename(job.scratch.c_str(), job.target.c_str()) == 0) {
            job.scratch.clear();
            ForgetScratchFile(job.scratchMark);
            job.scratchMark = -1;
            result.ok = true;
        } else {
            job.saveError = "cannot save " + job.target.string() + ": " + ErrnoText(errno);
        }
    }
    if (!result.ok) SetFailure(job, code, refused);
}

// The wait pump of the thread that starts transfers (a window's event loop).
thread_local WaitPump tWaitPump;

// What the transfer thread and the waiting thread share.
struct Drive {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::size_t> ended;  // jobs in the order they ended
    bool over = false;
    std::atomic<bool> abandon{false};
    std::exception_ptr failure;

    void tell(std::size_t index) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ended.push_back(index);
        }
        changed.notify_one();
    }
};

// Ends what is still in flight or not yet started, each with the reason.
void EndRemaining(CURLM* multi, std::vector<std::unique_ptr<Job>>& jobs, std::size_t next, Drive& drive,
                  const std::string& reason) {
    auto end = [&](Job& job) {
        TransferResult& result = *job.result;
        result.ok = false;
        if (job.sink == Sink::File) result.bytes = 0;
        result.error = reason;
        drive.tell(job.index);
    };
    for (auto& job : jobs) {
        if (!job->inFlight) continue;
        curl_multi_remove_handle(multi, job->easy);
        curl_easy_cleanup(job->easy);
        job->easy = nullptr;
        job->inFlight = false;
        if (job->out) {
            std::fclose(job->out);
            job->out = nullptr;
        }
        end(*job);  // the scratch file goes with the job
    }
    for (; next < jobs.size(); ++next) end(*jobs[next]);
}

// The transfer thread: libcurl's multi loop, until every job has ended or
// the waiting side abandons them.
void DriveJobs(CURLM* multi, std::vector<std::unique_ptr<Job>>& jobs, std::size_t limit, Drive& drive) {
    std::size_t next = 0, active = 0;
    try {
        auto startMore = [&] {
            for (; active < limit && next < jobs.size() && !drive.abandon; ++next) {
                Job& job = *jobs[next];
                if (!StartJob(job)) {
                    drive.tell(job.index);
                    continue;
                }
                if (curl_multi_add_handle(multi, job.easy) != CURLM_OK) {
                    job.result->error = "cannot start a transfer";
                    drive.tell(job.index);
                    continue;
                }
                job.inFlight = true;
                ++active;
            }
        };
        startMore();
        while (active > 0 && !drive.abandon) {
            int running = 0;
            curl_multi_perform(multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE) continue;
                Job* job = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &job);
                const CURLcode code = message->data.result;  // read before the handle is removed
                curl_multi_remove_handle(multi, message->easy_handle);
                job->inFlight = false;
                FinishJob(*job, code);
                curl_easy_cleanup(job->easy);
                job->easy = nullptr;
                --active;
                drive.tell(job->index);
            }
            startMore();
            // Woken at once when the waiting side abandons the transfers.
            if (active > 0 && !drive.abandon) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        if (drive.abandon) EndRemaining(multi, jobs, next, drive, "abandoned");
    } catch (...) {
        drive.failure = std::current_exception();
        try {
            EndRemaining(multi, jobs, next, drive, "cannot go on with the transfers");
        } catch (...) {}
    }
}

void RunJobs(std::vector<std::unique_ptr<Job>>& jobs, int maxInFlight, const TransferDone& done = {}) {
    InitCurlOnce();
    for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i]->index = i;
    CURLM* multi = curl_multi_init();
    if (!multi) {
        for (auto& job : jobs) job->result->error = "cannot start a transfer";
        if (done)
            for (auto& job : jobs) done(job->index, *job->result);
        return;
    }
    Drive drive;
    const std::size_t limit = static_cast<std::size_t>(std::max(1, maxInFlight));
    std::thread worker([&] {
        DriveJobs(multi, jobs, limit, drive);
        {
            std::lock_guard<std::mutex> lock(drive.mutex);
            drive.over = true;
        }
        drive.changed.notify_one();
    });

    // This thread waits: it tells of each transfer as it ends and, with a
    // pump, lets the window run its events between short slices of waiting.
    const WaitPump pump = tWaitPump;  // a copy: the pump may replace itself
    std::exception_ptr failure;
    try {
        std::size_t told = 0;
        std::unique_lock<std::mutex> lock(drive.mutex);
        for (;;) {
            const auto ready = [&] { return drive.over || drive.ended.size() > told; };
            if (pump)
                drive.changed.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs), ready);
            else
                drive.changed.wait(lock, ready);
            const std::vector<std::size_t> ended(drive.ended.begin() + static_cast<std::ptrdiff_t>(told),
                                                 drive.ended.end());
            told = drive.ended.size();
            const bool over = drive.over;
            lock.unlock();
            if (done)
                for (std::size_t index : ended) done(index, *jobs[index]->result);
            if (over) break;
            if (pump && !drive.abandon && !pump()) {
                drive.abandon = true;
                curl_multi_wakeup(multi);
            }
            lock.lock();
        }
    } catch (...) {
        failure = std::current_exception();
        drive.abandon = true;
        curl_multi_wakeup(multi);
    }
    worker.join();
    curl_multi_cleanup(multi);
    if (failure) std::rethrow_exception(failure);
    if (drive.failure) std::rethrow_exception(drive.failure);
}

}  // namespace

WaitPump SetWaitPump(WaitPump pump) {
    std::swap(pump, tWaitPump);
    return pump;
}

std::vector<TransferResult> RunTransfers(const std::vector<TransferRequest>& requests, int maxInFlight,
                                         const TransferDone& done) {
    std::vector<TransferResult> results(requests.size());
    std::vector<std::unique_ptr<Job>> jobs;
    jobs.reserve(requests.size());
    const DownloadLimits limits = CurrentDownloadLimits();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        auto job = std::make_unique<Job>();
        job->sink = requests[i].mode == TransferMode::File ? Sink::File : Sink::Headers;
        job->url = requests[i].url;
        job->target = requests[i].target;
        job->result = &results[i];
        job->limits = limits;
        jobs.push_back(std::move(job));
    }
    RunJobs(jobs, maxInFlight > 0 ? maxInFlight : CurrentDownloadLimits().maxInFlight, done);
    return results;
}

std::string FetchText(const std::string& url, bool& complete) {
    std::string text;
    TransferResult result;
    std::vector<std::unique_ptr<Job>> jobs;
    jobs.push_back(std::make_unique<Job>());
    Job& job = *jobs.back();
    job.sink = Sink::Text;
    job.url = url;
    job.text = &text;
    job.result = &result;
    job.limits = CurrentDownloadLimits();
    RunJobs(jobs, 1);
    complete = job.completedBody;
    return text;
}

}  // namespace parlux
