#pragma once
// HTTP transfers run side by side with libcurl's multi interface: pinger
// files fetched into the data folder, and header probes that stop as soon as
// the final response's headers have arrived. Every transfer keeps its own
// limits, so one dead or stalled host costs one time-out, not one per file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace parlux {

struct DownloadLimits {
    long connectTimeoutSeconds = 30;
    long lowSpeedTimeSeconds = 60;   // abort when < 1 byte/s arrives for this long
    long totalTimeoutSeconds = 120;  // a whole file transfer, however slowly it trickles
    std::int64_t maxBytes = 64LL << 20;
    long probeConnectTimeoutSeconds = 15;  // a header probe
    long probeTotalTimeoutSeconds = 30;
    int maxInFlight = 16;  // transfers at once where a step fetches many
    // Whether an address actually connected to counts as internal (loopback,
    // private, link-local, unspecified); tests may classify by port as well.
    bool (*internalAddress)(const std::string& ip, int port) = nullptr;
};
// The limits every transfer uses; tests lower them.
DownloadLimits& CurrentDownloadLimits();

// Loopback, private, shared, link-local, unspecified, multicast or reserved
// (IPv4 or IPv6, IPv4-mapped included); also true for text that is no address.
bool IsInternalAddress(std::string_view ip);

enum class TransferMode { File, HeadersOnly };

struct TransferRequest {
    std::string url;
    TransferMode mode = TransferMode::File;
    std::filesystem::path target;  // File mode only: replaced only by a complete 2xx transfer
};

struct TransferResult {
    bool ok = false;         // File: saved; HeadersOnly: the final response's header block arrived (any status)
    long status = 0;         // final HTTP status, 0 when no response
    std::int64_t bytes = 0;  // File mode: bytes written
    std::string error;       // why it failed, in words; empty when ok
    std::vector<std::pair<std::string, std::string>> headers;        // the final response's headers (HeadersOnly)
    std::optional<std::string> header(std::string_view name) const;  // case-insensitive, nullopt if absent
    // File mode: the target could not be written (folder, disk, name), as
    // opposed to a server that could not be reached or gave no good answer.
    bool saveFailed = false;
};

// What the thread that waits on transfers does meanwhile. A window runs its
// events here, so that it repaints and answers while the network is slow; it
// returns false to abandon the transfers still running (the window is
// closing). Called at least every kWaitSliceMs while transfers run.
using WaitPump = std::function<bool()>;
inline constexpr int kWaitSliceMs = 15;
// Installs the pump for the transfers started on the calling thread and
// returns the one it replaces; an empty pump just waits.
WaitPump SetWaitPump(WaitPump pump);

// A transfer has ended: its index among the requests and its result, told on
// the calling thread as each one ends.
using TransferDone = std::function<void(std::size_t index, const TransferResult& result)>;

// Runs all requests at once, at most maxInFlight at a time (0: the limits'
// maxInFlight); results in request order.
// The transfers run on a thread of their own; the calling thread waits,
// telling done of each transfer that ends and running the wait pump between.
// Abandoned transfers end with the error "abandoned" (old copies kept).
//
// File mode: the body goes to a scratch file with a short random name in the
// target's folder (ScratchPrefix() and six random characters), which is
// renamed over the target only when a whole, non-empty body arrived with a
// 2xx status other than 204 and 206; otherwise the old copy stays as it was
// (when there was none, none is made). A replaced file keeps the old
// one's read and write bits only; a new one gets 0644 less the umask.
//
// Both modes: GET over http or https only, redirects followed (at most 10) but
// never from a public address to an internal one (checked on the address
// actually connected), compressed bodies asked for and decoded.
std::vector<TransferResult> RunTransfers(const std::vector<TransferRequest>& requests, int maxInFlight = 0,
                                         const TransferDone& done = {});

// The start of this program's scratch file names: "." + program name + ".part-".
std::string ScratchPrefix();

// Removes this program's scratch files left in folder by a run that was killed,
// and the scratch files of an earlier naming ("<file>.part-XXXXXX") of the
// files named; returns how many went. Only files last written longer ago
// than the total transfer limit go: another copy may be writing the others;
// while this program holds the folder's lock (HoldsDataFolderLock), its own
// go whatever their age.
int RemoveStaleScratchFiles(const std::filesystem::path& folder, const std::vector<std::string>& fileNames = {});

// The body of one GET as text, with the same handle set-up; complete tells
// whether the whole body arrived, whatever the status.
std::string FetchText(const std::string& url, bool& complete);

}  // namespace parlux
