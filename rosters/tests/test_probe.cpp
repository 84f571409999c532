// The probe against a loopback server: every kind of answer a pinger's web
// server gives, asked all at once, each turned into its upload text; and a
// probe that stops at the headers, before the server has written the body.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/core/DateTime.h"
#include "common/core/Table.h"
#include "rosters/HeaderProbe.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

using namespace std::chrono_literals;

class RosterProbe : public ::testing::Test {
protected:
    ScopedEnv noProxy_{"no_proxy", "127.0.0.1"};
    ScopedEnv noProxyUpper_{"NO_PROXY", "127.0.0.1"};
    LoopbackServer server_;
};

TEST_F(RosterProbe, EachAnswerGivesItsUploadText) {
    const auto withHeader = [](const std::string& name, const std::string& value, int status = 200) {
        return [=](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_header(name.c_str(), value);
            res.set_content("page", "text/html");
        };
    };
    struct Case {
        const char* what;
        std::string path;  // empty: a port where nothing listens
        std::function<void(const httplib::Request&, httplib::Response&)> handler;
        std::string upload;
    };
    const std::string unknown(rosters::kUnknownUpload);
    const std::vector<Case> cases = {
        {"RFC 1123 date", "/rfc", withHeader("Last-Modified", "Mon, 07 Dec 2026 06:30:00 GMT"), "_2026/12/07_06:30:00"},
        {"EST date", "/est", withHeader("Last-Modified", "Sat 12 Apr 2003 13:45:02 EST"), "_2003/04/12_08:45:02"},
        {"years since 1900", "/y103", withHeader("Last-Modified", "Sat 12 Apr 103 08:45:02 GMT"),
         "_2003/04/12_08:45:02"},
        {"header name in lower case", "/lower", withHeader("last-modified", "Tue, 01 Dec 2026 00:00:09 GMT"),
         "_2026/12/01_00:00:09"},
        {"unreadable header", "/bad", withHeader("Last-Modified", "yesterday at noon"), ""},
        {"month word unknown", "/month", withHeader("Last-Modified", "Sat, 12 apr 2003 13:45:02 GMT"), ""},
        {"no header", "/none",
         [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/html"); }, unknown},
        {"404 carrying the header", "/gone", withHeader("Last-Modified", "Sun, 06 Dec 2026 10:00:00 GMT", 404),
         "_2026/12/06_10:00:00"},
        {"redirect: the final answer's header", "/moved",
         [](const httplib::Request&, httplib::Response& res) {
             res.set_header("Last-Modified", "Fri, 01 Jan 2010 00:00:00 GMT");
             res.set_redirect("/rfc");
         },
         "_2026/12/07_06:30:00"},
        {"closed port", "", nullptr, unknown},
    };
    for (const Case& c : cases)
        if (c.handler) server_.handle(c.path, c.handler);
    server_.start();

    std::vector<std::string> urls;
    urls.reserve(cases.size());
    for (const Case& c : cases)
        urls.push_back(c.path.empty() ? "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x"
                                      : server_.url(c.path));
    const std::vector<rosters::HeaderAnswer> answers = rosters::ProbeHeaders(urls);
    ASSERT_EQ(answers.size(), cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k)
        EXPECT_EQ(rosters::UploadText(answers[k]), cases[k].upload) << cases[k].what;
    EXPECT_EQ(server_.hits("/moved"), 1);
}

// The body is 2 MB sent in small pieces; a full download would take them all.
TEST_F(RosterProbe, StopsAtTheHeadersWithoutTheBody) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, writeFailed = false;
    std::size_t written = 0;
    constexpr std::size_t kBody = 2 << 20, kPiece = 16 << 10;
    server_.handle("/big", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Mon, 07 Dec 2026 06:30:00 GMT");
        res.set_content_provider(
            kBody, "application/octet-stream",
            [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(5ms);
                const std::string piece(std::min(kPiece, kBody - offset), 'x');
                if (!sink.write(piece.data(), piece.size())) {
                    std::lock_guard lock(mutex);
                    writeFailed = true;
                    return false;
                }
                std::lock_guard lock(mutex);
                written += piece.size();
                return true;
            },
            [&](bool) {
                std::lock_guard lock(mutex);
                done = true;
                finished.notify_all();
            });
    });
    server_.start();

    const auto answers = rosters::ProbeHeaders({server_.url("/big")});
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(rosters::UploadText(answers[0]), "_2026/12/07_06:30:00");

    std::unique_lock lock(mutex);
    finished.wait_for(lock, 30s, [&] { return done; });
    EXPECT_TRUE(done);
    EXPECT_TRUE(writeFailed) << written << " bytes written";
    EXPECT_LT(written, kBody);
}

// Rostermark's records come up as their answers come: the slow server's
// record last, with the time it was taken, the fast ones while it still waits.
TEST_F(RosterProbe, RecordsAreShownAsTheirAnswersComeNotAfterTheSlowest) {
    std::mutex mutex;
    std::condition_variable released;
    bool free = false;
    std::atomic<bool> slowAnswered{false};
    server_.handle("/slow", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock lock(mutex);
        released.wait_for(lock, 20s, [&] { return free; });
        res.set_header("Last-Modified", "Mon, 07 Dec 2026 06:30:00 GMT");
        slowAnswered = true;
    });
    for (const char* path : {"/fast1", "/fast2"})
        server_.handle(path, [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Last-Modified", "Sat, 12 Apr 2003 13:45:02 GMT");
        });
    server_.start();
    const std::vector<PingerRecord> records = {{"PGP-1", "slow", server_.url("/slow")},
                                               {"MIX-1", "alpha", server_.url("/fast1")},
                                               {"PGP-2", "beta", server_.url("/fast2")}};

    const DateTime early = MakeDateTime(2026, 12, 7, 9, 0, 0), late = MakeDateTime(2026, 12, 7, 9, 0, 40);
    FixedClock clock(early, early);
    struct Shown {
        std::string nick;
        int taken;
        std::string timeBeg;
        bool slowStillWaiting;
    };
    std::vector<Shown> shown;
    const auto show = [&](const rosters::RecordProgress& p) {
        shown.push_back({p.record->nick, p.taken, rosters::ClockTime(p.timeBeg), !slowAnswered});
        if (shown.size() == 2) {
            // Both fast ones are in: time passes, and the slow server answers.
            clock.set(late, late);
            std::lock_guard lock(mutex);
            free = true;
            released.notify_all();
        }
    };
    Table links, uploads;
    EXPECT_EQ(rosters::LoadPingersAndProbe(records, rosters::ProbeHeaders, clock, show, links, uploads), 3);

    ASSERT_EQ(shown.size(), 3u);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NE(shown[k].nick, "slow");
        EXPECT_TRUE(shown[k].slowStillWaiting) << shown[k].nick;
        EXPECT_EQ(shown[k].timeBeg, "09:00:00");
        EXPECT_EQ(shown[k].taken, k + 1);
    }
    EXPECT_EQ(shown[2].nick, "slow");
    EXPECT_EQ(shown[2].timeBeg, "09:00:40");
    EXPECT_EQ(shown[2].taken, 3);
    // The tables are in file order whatever the order of the answers.
    EXPECT_EQ(links.text(0, 0), "slow");
    EXPECT_EQ(uploads.text(1, 0), "_2026/12/07_06:30:00");
    EXPECT_EQ(uploads.text(2, 1), "_2003/04/12_13:45:02");
}

}  // namespace
}  // namespace parlux::test
