#include "common/core/InParallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace parlux {

unsigned WorkerThreads() { return std::clamp(std::thread::hardware_concurrency(), 1U, 4U); }

void InParallel(std::size_t parts, unsigned threads,
                const std::function<void(std::size_t part, unsigned worker)>& job) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex failing;
    std::exception_ptr failure;
    const auto work = [&](unsigned worker) {
        try {
            for (std::size_t part; !stop && (part = next++) < parts;) job(part, worker);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failing);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };
    const auto wanted =
        static_cast<unsigned>(std::min<std::size_t>(std::max(threads, 1U), std::max<std::size_t>(parts, 1)));
    std::vector<std::thread> helpers;
    helpers.reserve(wanted - 1);
    for (unsigned worker = 1; worker < wanted; ++worker) {
        try {
            helpers.emplace_back(work, worker);
        } catch (const std::system_error&) {
            break;  // no thread to be had: fewer do the work
        }
    }
    work(0);
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace parlux
