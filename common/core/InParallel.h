#pragma once
// Work of many like parts (a large grid's pages, its pingers' rows) shared
// out among a few threads, the calling one among them: a night's history of
// a large grid takes its second core too. Each part is done once; which
// thread does it, and in which order the parts are done, is not set.
#include <cstddef>
#include <functional>

namespace parlux {

// The threads worth working with on this machine, 1 to 4.
unsigned WorkerThreads();

// job(part, worker) for every part in [0, parts), on up to `threads` threads;
// worker, below `threads`, tells a thread's own room. The first exception a
// job throws stops the parts not begun yet and is thrown again here, after
// every thread has stopped.
void InParallel(std::size_t parts, unsigned threads, const std::function<void(std::size_t part, unsigned worker)>& job);

}  // namespace parlux
