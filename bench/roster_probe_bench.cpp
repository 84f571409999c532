// Rostermark's run on 24 records (three pingers, eight files each) against a
// loopback server that sends each answer's headers at once and then a 2 MB
// body over 2 s. Asking for the headers only, all at once, the run should take
// well under 2 s; whole downloads one after the other would take over 48 s.
//   build/bin/roster_probe_bench
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "common/core/Sinks.h"
#include "common/core/TextFields.h"
#include "rosters/HeaderProbe.h"
#include "rosters/Rosters.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

using namespace std::chrono_literals;

class NoMessages final : public MessageSink {
public:
    void critical(std::string_view text) override { throw std::runtime_error(std::string(text)); }
};

// 2 MB in 128 pieces of 16 KB, one every 2 s / 128, after headers sent at once.
constexpr std::size_t kBody = 2 << 20, kPiece = 16 << 10;

void SlowAnswer(const httplib::Request&, httplib::Response& res) {
    res.set_header("Last-Modified", "Mon, 07 Dec 2026 06:30:00 GMT");
    res.set_content_provider(kBody, "application/octet-stream",
                             [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(2000ms / (kBody / kPiece));
                                 const std::string piece(std::min(kPiece, kBody - offset), 'x');
                                 return sink.write(piece.data(), piece.size());
                             });
}

void BM_RostermarkRun(benchmark::State& state) {
    test::ScopedEnv noProxy("no_proxy", "127.0.0.1");
    test::LoopbackServer server;
    server.setWorkers(32);
    server.handle(R"(/.*)", SlowAnswer);
    server.start();
    test::TempDir data;
    test::WriteFile(data / "PingersBad.lst", "\"bravo\"\r\n");
    std::string list;
    for (const char* nick : {"alpha", "bravo", "charlie"})
        for (std::string_view type : rosters::kColumnTypes)
            list.append(Quoted(type))
                .append(",")
                .append(Quoted(nick))
                .append(",")
                .append(Quoted(server.url(std::string("/").append(nick).append("/").append(type))))
                .append("\r\n");
    test::WriteFile(data / "Pingers.lst", list);
    NoMessages messages;
    std::ostringstream notes;
    for (auto _ : state) {
        if (rosters::RunRostermark(data.path(), SystemClock(), messages, notes, rosters::ProbeHeaders, nullptr) != 0)
            state.SkipWithError("the run failed");
    }
    const std::string page = test::ReadFile(data / "PingersX.html");
    std::size_t dated = 0;
    for (std::size_t at = 0; (at = page.find("X</a>_2026/12/07_06:30:00", at)) != std::string::npos; ++at) ++dated;
    state.counters["dated_cells"] = static_cast<double>(dated);
}
BENCHMARK(BM_RostermarkRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace parlux

BENCHMARK_MAIN();
