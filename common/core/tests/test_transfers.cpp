// Transfers side by side, header probes, and what a hostile or failing
// server or a bad data folder must not achieve.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/core/DataFolder.h"
#include "common/core/DataFolderLock.h"
#include "common/core/Transfers.h"
#include "common/core/WholeFile.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

using test::LoopbackServer;
using test::ReadFile;
using test::WriteFile;
using namespace std::chrono_literals;

class TransfersTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = CurrentDownloadLimits(); }
    void TearDown() override { CurrentDownloadLimits() = saved_; }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string ClosedUrl() const { return "http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + "/x"; }

    test::ScopedEnv noProxy_{"no_proxy", "127.0.0.1"};
    test::ScopedEnv noProxyUpper_{"NO_PROXY", "127.0.0.1"};
    DownloadLimits saved_;
    test::TempDir dir;
    LoopbackServer server;
};

// All requests are in flight at once: each answer waits until every request
// has arrived (or gives up after a while), so a one-at-a-time engine would
// see at most one. Failures of every kind keep their place in the results.
TEST_F(TransfersTest, RunsTogetherAndReportsInRequestOrder) {
    constexpr int kWaiting = 6;
    std::mutex mutex;
    std::condition_variable arrived;
    int inFlight = 0, most = 0;
    server.setWorkers(16);
    server.handle(R"(/wait/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        std::unique_lock lock(mutex);
        most = std::max(most, ++inFlight);
        arrived.notify_all();
        arrived.wait_for(lock, 5s, [&] { return most >= kWaiting; });
        --inFlight;
        res.set_content("page " + req.matches[1].str(), "text/html");
    });
    server.serve("/missing", "Not Found", 404);
    server.start();

    WriteFile(dir / "kept", "cached copy");
    std::vector<TransferRequest> requests;
    requests.reserve(kWaiting + 4);
    for (int i = 0; i < kWaiting; ++i)
        requests.push_back(
            {server.url("/wait/" + std::to_string(i)), TransferMode::File, dir / ("f" + std::to_string(i))});
    requests.push_back({server.url("/missing"), TransferMode::File, dir / "kept"});
    requests.push_back({ClosedUrl(), TransferMode::File, dir / "fresh"});
    requests.push_back({"ftp://127.0.0.1/x", TransferMode::File, dir / "ftp"});
    requests.push_back({server.url("/wait/0"), TransferMode::File, dir / "no-such-folder" / "f"});

    const auto results = RunTransfers(requests, 16);
    ASSERT_EQ(results.size(), requests.size());
    EXPECT_EQ(most, kWaiting);
    for (int i = 0; i < kWaiting; ++i) {
        const std::string body = "page " + std::to_string(i);
        EXPECT_TRUE(results[i].ok) << results[i].error;
        EXPECT_EQ(results[i].bytes, static_cast<std::int64_t>(body.size()));
        EXPECT_EQ(ReadFile(requests[i].target), body);
    }
    struct Failure {
        std::size_t index;
        long status;
        std::string error;
        bool saveFailed;
    };
    const Failure failures[] = {
        {kWaiting, 404, "HTTP status 404", false},
        {kWaiting + 1, 0, "Couldn't connect to server", false},
        // libcurl's own words follow its code's text, except where they only add timings.
        {kWaiting + 2, 0, "Unsupported protocol: Protocol \"ftp\" not supported or disabled in libcurl", false},
        {kWaiting + 3, 0, "cannot save in " + (dir / "no-such-folder").string() + ": No such file or directory", true},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(requests[f.index].url);
        EXPECT_FALSE(results[f.index].ok);
        EXPECT_EQ(results[f.index].status, f.status);
        EXPECT_EQ(results[f.index].error, f.error);
        EXPECT_EQ(results[f.index].saveFailed, f.saveFailed);
        EXPECT_EQ(results[f.index].bytes, 0);
    }
    EXPECT_EQ(ReadFile(dir / "kept"), "cached copy");
    EXPECT_FALSE(std::filesystem::exists(dir / "fresh"));  // no earlier copy: none is made
    EXPECT_EQ(Names(), (std::vector<std::string>{"f0", "f1", "f2", "f3", "f4", "f5", "kept"}));

    // A limit of one runs them one after another, with the same results.
    const std::vector<TransferRequest> two(requests.begin() + kWaiting, requests.begin() + kWaiting + 2);
    const auto serial = RunTransfers(two, 1);
    EXPECT_EQ(serial[0].error, "HTTP status 404");
    EXPECT_EQ(serial[1].error, "Couldn't connect to server");
}

// A probe follows redirects and stops at the final response's headers,
// whatever its status; the body is never read.
TEST_F(TransfersTest, HeaderProbeStopsAtTheFinalHeaders) {
    auto bodyChunks = std::make_shared<std::atomic<int>>(0);
    server.handle("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/file", 301); });
    server.handle("/file", [bodyChunks](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "Sat, 12 Apr 2003 13:45:02 GMT");
        res.set_chunked_content_provider("text/plain", [bodyChunks](std::size_t, httplib::DataSink& sink) {
            // A body without end: only a transfer that reads it would wait.
            if (++*bodyChunks > 2000) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(5ms);
            return sink.write("0123456789", 10);
        });
    });
    server.serve("/gone", "Not Found", 404);
    server.handle("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop", 302); });
    server.start();

    const auto results = RunTransfers({{server.url("/moved"), TransferMode::HeadersOnly, {}},
                                       {server.url("/gone"), TransferMode::HeadersOnly, {}},
                                       {server.url("/loop"), TransferMode::HeadersOnly, {}},
                                       {ClosedUrl(), TransferMode::HeadersOnly, {}}});
    EXPECT_TRUE(results[0].ok) << results[0].error;
    EXPECT_EQ(results[0].status, 200);
    EXPECT_EQ(results[0].header("last-modified"), "Sat, 12 Apr 2003 13:45:02 GMT");
    EXPECT_EQ(results[0].header("LOCATION"), std::nullopt);  // the redirect's headers are not the final ones
    EXPECT_EQ(results[0].bytes, 0);
    EXPECT_TRUE(results[1].ok);
    EXPECT_EQ(results[1].status, 404);
    EXPECT_EQ(results[1].header("Content-Type"), "text/html");
    EXPECT_FALSE(results[2].ok);
    EXPECT_EQ(results[2].error, "Number of redirects hit maximum amount: Maximum (10) redirects followed");
    EXPECT_FALSE(results[3].ok);
    EXPECT_EQ(results[3].status, 0);
    server.stop();
    EXPECT_LT(bodyChunks->load(), 2000);
    EXPECT_EQ(server.hits("/loop"), 11);
}

// A body that trickles in (a few bytes a second) is given up at the total
// limit and the cached copy stays; the same body within the limit is saved.
TEST_F(TransfersTest, TotalTimeLimitEndsATrickle) {
    server.handle("/trickle", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= 30) {  // 3 s of trickling in all
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(100ms);
            return sink.write("x", 1);
        });
    });
    server.start();
    WriteFile(dir / "page", "cached copy");

    CurrentDownloadLimits().totalTimeoutSeconds = 1;
    const auto cut = RunTransfers({{server.url("/trickle"), TransferMode::File, dir / "page"}});
    EXPECT_FALSE(cut[0].ok);
    EXPECT_EQ(cut[0].error, "Timeout was reached");
    EXPECT_EQ(ReadFile(dir / "page"), "cached copy");

    CurrentDownloadLimits().totalTimeoutSeconds = 30;
    const auto whole = RunTransfers({{server.url("/trickle"), TransferMode::File, dir / "page"}});
    EXPECT_TRUE(whole[0].ok) << whole[0].error;
    EXPECT_EQ(ReadFile(dir / "page"), std::string(30, 'x'));
}

// A redirect may not lead from a public address to an internal one. The test
// has only loopback, so it calls the first server's port public.
TEST_F(TransfersTest, RedirectFromPublicToInternalIsRefused) {
    static int publicPort = 0;
    LoopbackServer internal;
    internal.serve("/secret", "internal service");
    internal.start();
    const std::string secret = internal.url("/secret");
    server.handle("/to-internal",
                  [secret](const httplib::Request&, httplib::Response& res) { res.set_redirect(secret, 302); });
    server.serve("/page", "public page");
    server.handle("/to-public",
                  [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/page", 302); });
    server.start();
    publicPort = server.port();
    CurrentDownloadLimits().internalAddress = [](const std::string& ip, int port) {
        return port != publicPort && IsInternalAddress(ip);
    };

    WriteFile(dir / "a", "cached copy");
    const std::string toPublicFromInternal = internal.url("/x");
    const auto results = RunTransfers({{server.url("/to-internal"), TransferMode::File, dir / "a"},
                                       {server.url("/to-internal"), TransferMode::HeadersOnly, {}},
                                       {server.url("/to-public"), TransferMode::File, dir / "b"},
                                       {secret, TransferMode::File, dir / "c"}});
    EXPECT_FALSE(results[0].ok);
    EXPECT_EQ(results[0].error, "redirected to the internal address 127.0.0.1");
    EXPECT_EQ(ReadFile(dir / "a"), "cached copy");
    EXPECT_FALSE(results[1].ok);
    EXPECT_EQ(results[1].error, "redirected to the internal address 127.0.0.1");
    EXPECT_TRUE(results[2].ok);  // public to public
    EXPECT_TRUE(results[3].ok);  // a URL that is itself internal is the maintainer's choice
    internal.stop();
    EXPECT_EQ(internal.hits("/secret"), 1);
}

TEST(AddressClass, InternalAddresses) {
    const std::pair<const char*, bool> cases[] = {
        {"127.0.0.1", true},
        {"127.8.9.10", true},
        {"10.1.2.3", true},
        {"172.16.0.1", true},
        {"172.31.255.255", true},
        {"172.32.0.1", false},
        {"192.168.1.1", true},
        {"169.254.169.254", true},
        {"0.0.0.0", true},
        {"100.64.0.1", true},
        {"100.128.0.1", false},
        {"224.0.0.1", true},
        {"8.8.8.8", false},
        {"93.184.216.34", false},
        {"::1", true},
        {"::", true},
        {"fe80::1", true},
        {"fd00:ec2::254", true},
        {"2001:db8::1", false},
        {"::ffff:127.0.0.1", true},
        {"::ffff:8.8.8.8", false},
        {"", true},
        {"not an address", true},
    };
    for (const auto& [ip, internal] : cases) EXPECT_EQ(IsInternalAddress(ip), internal) << ip;
}

// Compressed answers are stored decoded; the scratch name stays short, so a
// target name near the file-system limit is saved; the old copy's execute,
// setuid and setgid bits are not passed on, and a link is replaced, not followed.
TEST_F(TransfersTest, SavedFilesAreDecodedShortNamedAndPlain) {
    static const unsigned char kGzip[] = {0x1f, 0x8b, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03, 0x2b,
                                          0xc9, 0x48, 0x55, 0x28, 0x48, 0x4c, 0x4f, 0xd5, 0x51, 0x48, 0xce,
                                          0xcf, 0x2d, 0x28, 0x4a, 0x2d, 0x2e, 0x4e, 0x4d, 0xe1, 0xe5, 0x02,
                                          0x00, 0x21, 0xb9, 0x82, 0xfd, 0x16, 0x00, 0x00, 0x00};
    server.handle("/gz", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content(std::string(reinterpret_cast<const char*>(kGzip), sizeof kGzip), "text/html");
    });
    server.serve("/page", "fresh");
    server.start();

    const auto longName = std::string(240, 'n') + "_rlist2.shtml";
    WriteFile(dir / "setuid", "old");
    ::chmod((dir / "setuid").c_str(), 04755);
    WriteFile(dir / "private", "old");
    ::chmod((dir / "private").c_str(), 0600);
    test::TempDir elsewhere;
    WriteFile(elsewhere / "victim", "not to be touched");
    ::chmod((elsewhere / "victim").c_str(), 0755);
    std::filesystem::create_symlink(elsewhere / "victim", dir / "link");

    const mode_t mask = ::umask(022);
    const auto results = RunTransfers({{server.url("/gz"), TransferMode::File, dir / "gz"},
                                       {server.url("/page"), TransferMode::File, dir / longName},
                                       {server.url("/page"), TransferMode::File, dir / "setuid"},
                                       {server.url("/page"), TransferMode::File, dir / "private"},
                                       {server.url("/page"), TransferMode::File, dir / "link"},
                                       {server.url("/page"), TransferMode::File, dir / "new"}});
    for (const auto& result : results) EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadFile(dir / "gz"), "the page, compressed\r\n");
    EXPECT_EQ(ReadFile(dir / longName), "fresh");

    // The same rules when a page is replaced whole.
    WriteFile(dir / "page-setuid", "old");
    ::chmod((dir / "page-setuid").c_str(), 06775);
    std::filesystem::create_symlink(elsewhere / "victim", dir / "page-link");
    ReplaceWholeFile(dir / "page-setuid", "page");
    ReplaceWholeFile(dir / "page-link", "page");
    ReplaceWholeFile(dir / "page-new", "page");
    ::umask(mask);

    auto mode = [](const std::filesystem::path& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode;
    };
    const std::pair<std::string, mode_t> modes[] = {
        {"setuid", S_IFREG | 0644},   {"private", S_IFREG | 0600},     {"link", S_IFREG | 0644},
        {"new", S_IFREG | 0644},      {"page-setuid", S_IFREG | 0664}, {"page-link", S_IFREG | 0644},
        {"page-new", S_IFREG | 0644},
    };
    for (const auto& [name, expected] : modes) EXPECT_EQ(mode(dir / name), expected) << name;
    EXPECT_EQ(ReadFile(elsewhere / "victim"), "not to be touched");
    EXPECT_EQ(mode(elsewhere / "victim"), S_IFREG | 0755);
}

// Only this program's own scratch files go (and those of the older naming
// of the files named), and only those nobody has written to for longer than a
// transfer may last: another copy in the same folder may be filling the
// others. While this program holds the folder's lock no copy of it can be
// running there, and its own go whatever their age (a run ended by a signal,
// say). Anything else of the folder stays.
TEST_F(TransfersTest, StaleScratchFilesAreRemoved) {
    CurrentDownloadLimits().totalTimeoutSeconds = 120;
    const std::string own = ScratchPrefix();
    auto age = [&](const std::string& name, int seconds) {
        const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds);
        std::filesystem::last_write_time(dir / name, when);
    };
    struct Case {
        std::string name;
        int age;  // seconds since it was last written
        bool goes;
        bool goesLocked;  // with the folder's lock held
    };
    const std::vector<Case> cases = {
        {own + "aB3xYz", 3600, true, true},
        {own + "Q1w2E3", 121 + 5, true, true},
        {own + "busy01", 0, false, true},    // another copy is downloading into it, or a killed one was
        {own + "slow01", 110, false, true},  // a slow transfer, still within its limit
        {"alpha_rlist.shtml.part-k2J9aa", 3600, true, true},
        {"alpha_rlist.shtml.part-busy01", 10, false, false},  // the older naming tells no program
        {"alpha_rlist.shtml", 3600, false, false},
        {".Other.part-aB3xYz", 3600, false, false},
        {".Other.part-busy01", 0, false, false},
        {"beta_mlist.shtml.part-k2J9aa", 3600, false, false},
        {own + "toolongname", 3600, false, false},
    };
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "the folder's lock held" : "no lock");
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove_all(entry);
        for (const auto& c : cases) {
            WriteFile(dir / c.name, "x");
            age(c.name, c.age);
        }
        std::filesystem::create_directory(dir / (own + "folder"));
        std::filesystem::create_symlink(dir / "alpha_rlist.shtml", dir / (own + "linked"));
        std::unique_ptr<DataFolderLock> lock;
        if (locked) {
            lock = std::make_unique<DataFolderLock>(dir.path(), ProgramName());
            ASSERT_EQ(lock->state(), DataFolderLock::State::Taken);
        }
        EXPECT_EQ(HoldsDataFolderLock(dir.path()), locked);

        std::vector<std::string> staying = {own + "folder", own + "linked"};
        if (locked) staying.push_back(lock->path().filename().string());
        int going = 0;
        for (const auto& c : cases) ((locked ? c.goesLocked : c.goes) ? ++going : (staying.push_back(c.name), 0));
        std::sort(staying.begin(), staying.end());
        EXPECT_EQ(RemoveStaleScratchFiles(dir.path(), {"alpha_rlist.shtml"}), going);
        EXPECT_EQ(Names(), staying);
    }
    EXPECT_FALSE(HoldsDataFolderLock(dir.path()));  // let go with the lock
}

}  // namespace
}  // namespace parlux
