// HTTP download with libcurl. A download never damages the copy already on
// disk: the body goes to a scratch file beside the target, which replaces the
// target only when the whole body arrived with a success status.
#include "UrlToFile.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <vector>

namespace parlux {

DownloadLimits& CurrentDownloadLimits() {
    static DownloadLimits limits;
    return limits;
}

namespace {

constexpr const char* kAgent = "VB OpenUrl";

void InitCurlOnce() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialised;
}

// Receives the body chunk by chunk; false stops the transfer.
using ChunkSink = std::function<bool(const char* data, std::size_t size)>;

struct Transfer {
    ChunkSink sink;
    std::int64_t maxBytes = 0;
    std::int64_t received = 0;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes == 0) return 0;
    if (transfer->received + static_cast<std::int64_t>(bytes) > transfer->maxBytes) return 0;  // size cap: abort
    if (!transfer->sink(data, bytes)) return 0;
    transfer->received += static_cast<std::int64_t>(bytes);
    return bytes;
}

struct CurlHandle {
    CURL* handle = curl_easy_init();
    curl_slist* headers = nullptr;
    ~CurlHandle() {
        if (handle) curl_easy_cleanup(handle);
        if (headers) curl_slist_free_all(headers);
    }
};

// Runs one GET of url, handing the body to sink. True only when the transfer
// ended cleanly with a 2xx status (after following redirects); completed, when
// given, tells whether the whole body arrived, whatever the status.
bool Fetch(const std::string& url, const ChunkSink& sink, bool* completed = nullptr) {
    InitCurlOnce();
    CurlHandle curl;
    if (!curl.handle) return false;
    const DownloadLimits limits = CurrentDownloadLimits();

    Transfer transfer{sink, limits.maxBytes, 0};
    curl.headers = curl_slist_append(curl.headers, "Cache-Control: no-cache");
    curl.headers = curl_slist_append(curl.headers, "Pragma: no-cache");

    CURL* h = curl.handle;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, kAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, curl.headers);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedTimeSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);

    if (curl_easy_perform(h) != CURLE_OK) return false;
    if (completed) *completed = true;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    return status >= 200 && status <= 299;
}

// The permissions a newly created file would get from this process.
mode_t NewFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            try {
                return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
            } catch (...) {
                break;
            }
        }
    }
    return 0644;
}

// Leaves an empty file where there was none, so that the readers of the
// downloaded files find one.
void LeaveEmptyFileIfMissing(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || ec) return;
    std::ofstream create(path, std::ios::binary | std::ios::app);
}

}  // namespace

std::int32_t UrlToFile(const std::string& url, const std::filesystem::path& path) {
    std::string scratch = path.string() + ".part-XXXXXX";
    std::vector<char> name(scratch.begin(), scratch.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return 0;  // the folder is missing or not writable
    scratch.assign(name.data());

    // Keep the old copy's permissions; a new file gets the usual ones.
    struct stat old {};
    ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode());

    std::FILE* out = ::fdopen(fd, "wb");
    if (!out) {
        ::close(fd);
        ::unlink(scratch.c_str());
        LeaveEmptyFileIfMissing(path);
        return 0;
    }

    std::int64_t written = 0;
    bool ok = Fetch(url, [&](const char* data, std::size_t size) {
        if (std::fwrite(data, 1, size, out) != size) return false;
        written += static_cast<std::int64_t>(size);
        return true;
    });
    if (std::fclose(out) != 0) ok = false;
    if (ok && ::rename(scratch.c_str(), path.c_str()) == 0) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(written, std::numeric_limits<std::int32_t>::max()));
    }
    ::unlink(scratch.c_str());
    LeaveEmptyFileIfMissing(path);
    return 0;
}

std::string UrlToText(const std::string& url) {
    // The text is shown, not kept: an error page is returned like any body.
    std::string text;
    bool completed = false;
    Fetch(
        url,
        [&](const char* data, std::size_t size) {
            text.append(data, size);
            return true;
        },
        &completed);
    return completed ? text : std::string();
}

}  // namespace parlux
