// Work shared out among threads: every part is done once, each thread's room
// is its own, and a job's exception comes back to the caller.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "common/core/InParallel.h"

namespace parlux::test {
namespace {

TEST(InParallel, EveryPartOnceOnTheThreadsAskedAndAFailureThrownBack) {
    for (const unsigned threads : {0U, 1U, 2U, 4U}) {
        for (const std::size_t parts : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(parts) + " parts");
            std::vector<std::atomic<int>> done(parts);
            std::vector<std::atomic<int>> busy(std::max(threads, 1U));
            std::atomic<bool> shared{false};
            InParallel(parts, threads, [&](std::size_t part, unsigned worker) {
                ASSERT_LT(worker, busy.size());
                // A thread's room is used by that thread alone.
                if (++busy[worker] != 1) shared = true;
                ++done[part];
                --busy[worker];
            });
            EXPECT_FALSE(shared);
            for (std::size_t part = 0; part < parts; ++part) EXPECT_EQ(done[part], 1) << part;
        }
    }
    std::atomic<int> begun{0};
    EXPECT_THROW(InParallel(100, 3,
                            [&](std::size_t part, unsigned) {
                                ++begun;
                                if (part == 7) throw std::runtime_error("part 7");
                            }),
                 std::runtime_error);
    EXPECT_GE(begun, 8);
}

}  // namespace
}  // namespace parlux::test
