// UrlToFile and UrlToText against a server on 127.0.0.1.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "common/core/UrlToFile.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

using test::LoopbackServer;
using test::ReadFile;
using test::WriteFile;
using SteadyClock = std::chrono::steady_clock;

// Every byte value, so that nothing is translated on the way.
std::string BinaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 256) % 256);
    return body;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = CurrentDownloadLimits(); }
    void TearDown() override { CurrentDownloadLimits() = saved_; }

    // Files of the scratch folder other than the targets: left-over partial files.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const auto name = entry.path().filename().string();
            if (name.find(".part") != std::string::npos) names.push_back(name);
        }
        return names;
    }

    std::string ClosedUrl(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + path;
    }

    // Requests to the loopback server must not go through a proxy of the environment.
    test::ScopedEnv noProxy_{"no_proxy", "127.0.0.1"};
    test::ScopedEnv noProxyUpper_{"NO_PROXY", "127.0.0.1"};
    DownloadLimits saved_;
    test::TempDir dir;
    LoopbackServer server;
};

TEST_F(DownloadTest, WholeBodyReplacesOldCopy) {
    const std::string exact = BinaryBody(2048);
    const std::string large = BinaryBody(300000);
    server.serve("/exact", exact, 200, "application/octet-stream");
    server.serve("/large", large, 200, "application/octet-stream");
    server.start();

    const auto target = dir / "pinger_rlist.shtml";
    WriteFile(target, "the previous download");
    EXPECT_EQ(UrlToFile(server.url("/exact"), target), 2048);
    EXPECT_EQ(ReadFile(target), exact);

    EXPECT_EQ(UrlToFile(server.url("/large"), dir / "large.bin"), 300000);
    EXPECT_EQ(ReadFile(dir / "large.bin"), large);
    EXPECT_TRUE(Leftovers().empty());
}

// Answers that are no page: the copy there stays (or, when there is none, an
// empty file is left) and the result says why.
TEST_F(DownloadTest, AnswersThatAreNoPageKeepTheCopy) {
    server.serve("/empty", "");
    server.serve("/none", "", 204);
    server.serve("/part", "the first half of a page", 206);
    server.serve("/missing", "<html>Not Found</html>", 404);
    server.serve("/accepted", "a page all the same", 203);
    server.serve("/page", "a whole page");
    server.start();
    struct Case {
        const char* path;
        bool ok;
        std::string error;    // of the result
        std::string content;  // of the file after it
    };
    const std::vector<Case> cases = {
        {"/empty", false, "an empty answer", "good copy"},
        {"/none", false, "HTTP status 204, no content", "good copy"},
        {"/part", false, "HTTP status 206, a partial body", "good copy"},
        {"/missing", false, "HTTP status 404", "good copy"},
        {"/accepted", true, "", "a page all the same"},
        {"/page", true, "", "a whole page"},
    };
    for (const auto& c : cases) {
        const auto target = dir / "page.txt";
        WriteFile(target, "good copy");
        const auto result = RunTransfers({TransferRequest{server.url(c.path), TransferMode::File, target}}).front();
        EXPECT_EQ(result.ok, c.ok) << c.path;
        EXPECT_EQ(result.error, c.error) << c.path;
        EXPECT_EQ(ReadFile(target), c.content) << c.path;
        EXPECT_EQ(UrlToFile(server.url(c.path), target), static_cast<std::int32_t>(c.ok ? c.content.size() : 0))
            << c.path;

        const auto fresh = dir / "fresh.txt";
        std::filesystem::remove(fresh);
        EXPECT_EQ(UrlToFile(server.url(c.path), fresh), static_cast<std::int32_t>(c.ok ? c.content.size() : 0));
        EXPECT_EQ(ReadFile(fresh), c.ok ? c.content : "") << c.path;
    }
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(DownloadTest, UnreachableServerKeepsOldCopyOrMakesNone) {
    const auto kept = dir / "kept.txt";
    WriteFile(kept, "cached page");
    EXPECT_EQ(UrlToFile(ClosedUrl("/x"), kept), 0);
    EXPECT_EQ(ReadFile(kept), "cached page");

    const auto fresh = dir / "fresh.txt";
    EXPECT_EQ(UrlToFile(ClosedUrl("/x"), fresh), 0);
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(DownloadTest, ErrorStatusKeepsOldCopy) {
    server.serve("/missing", "<html>Not Found</html>", 404);
    server.serve("/broken", "<html>Internal Server Error</html>", 500);
    server.start();

    const auto target = dir / "page.txt";
    WriteFile(target, "good copy");
    EXPECT_EQ(UrlToFile(server.url("/missing"), target), 0);
    EXPECT_EQ(ReadFile(target), "good copy");
    EXPECT_EQ(UrlToFile(server.url("/broken"), target), 0);
    EXPECT_EQ(ReadFile(target), "good copy");

    const auto fresh = dir / "fresh.txt";
    EXPECT_EQ(UrlToFile(server.url("/missing"), fresh), 0);
    EXPECT_EQ(ReadFile(fresh), "");
    EXPECT_TRUE(Leftovers().empty());

    server.stop();  // the server counts a request after answering it
    EXPECT_EQ(server.hits("/missing"), 2);
    EXPECT_EQ(server.hits("/broken"), 1);
}

TEST_F(DownloadTest, ConnectionCutMidBodyKeepsOldCopy) {
    const std::string body = BinaryBody(4096);
    server.handle("/cut", [body](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(body.size(), "text/plain",
                                 [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0) return false;  // close after the first part
                                     sink.write(body.data(), 1000);
                                     return true;
                                 });
    });
    server.start();

    const auto target = dir / "cut.txt";
    WriteFile(target, "complete old copy");
    EXPECT_EQ(UrlToFile(server.url("/cut"), target), 0);
    EXPECT_EQ(ReadFile(target), "complete old copy");
    EXPECT_EQ(UrlToText(server.url("/cut")), "");
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(DownloadTest, StalledServerIsAbandoned) {
    CurrentDownloadLimits().lowSpeedTimeSeconds = 1;
    // The server sends the headers, then nothing until released (3 s at most),
    // then the whole body: without the low-speed abort the download would succeed.
    auto release = std::make_shared<std::atomic<bool>>(false);
    const std::string body = "late body";
    server.handle("/stall", [release, body](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(body.size(), "text/plain",
                                 [release, body](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     const auto deadline = SteadyClock::now() + std::chrono::seconds(3);
                                     while (!*release && SteadyClock::now() < deadline)
                                         std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                     return sink.write(body.data(), body.size());
                                 });
    });
    server.start();

    const auto target = dir / "stall.txt";
    WriteFile(target, "old");
    const auto start = SteadyClock::now();
    const auto total = UrlToFile(server.url("/stall"), target);
    const auto elapsed = SteadyClock::now() - start;
    *release = true;
    EXPECT_EQ(total, 0);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_LT(elapsed, std::chrono::milliseconds(2900));
    server.stop();
}

TEST_F(DownloadTest, FollowsRedirects) {
    server.handle("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/here", 302); });
    server.handle("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop", 302); });
    server.serve("/here", "the real page");
    server.start();

    const auto target = dir / "moved.txt";
    EXPECT_EQ(UrlToFile(server.url("/moved"), target), 13);
    EXPECT_EQ(ReadFile(target), "the real page");

    // A redirect that never ends is given up after ten hops.
    WriteFile(target, "old");
    EXPECT_EQ(UrlToFile(server.url("/loop"), target), 0);
    EXPECT_EQ(ReadFile(target), "old");

    server.stop();  // the server counts a request after answering it
    EXPECT_EQ(server.hits("/moved"), 1);
    EXPECT_EQ(server.hits("/here"), 1);
    EXPECT_EQ(server.hits("/loop"), 11);
}

TEST_F(DownloadTest, SendsAgentAndAsksForNoCachedCopy) {
    std::mutex mutex;
    std::vector<std::string> cacheControl, pragma;
    server.handle("/page", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        cacheControl.push_back(req.get_header_value("Cache-Control"));
        pragma.push_back(req.get_header_value("Pragma"));
        res.set_content("x", "text/plain");
    });
    server.start();

    UrlToFile(server.url("/page"), dir / "page.txt");
    UrlToText(server.url("/page"));
    server.stop();
    EXPECT_EQ(server.agents(), (std::vector<std::string>{"VB OpenUrl", "VB OpenUrl"}));
    EXPECT_EQ(cacheControl, (std::vector<std::string>{"no-cache", "no-cache"}));
    EXPECT_EQ(pragma, (std::vector<std::string>{"no-cache", "no-cache"}));
}

TEST_F(DownloadTest, SizeCapAbortsTheTransfer) {
    CurrentDownloadLimits().maxBytes = 1000;
    const std::string big = BinaryBody(2048);
    server.serve("/announced", big);
    server.handle("/chunked", [big](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [big](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= big.size()) {
                sink.done();
                return true;
            }
            return sink.write(big.data() + offset, 256);
        });
    });
    server.serve("/fits", BinaryBody(1000));
    server.start();

    const auto target = dir / "capped.txt";
    WriteFile(target, "old");
    EXPECT_EQ(UrlToFile(server.url("/announced"), target), 0);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(UrlToFile(server.url("/chunked"), target), 0);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(UrlToText(server.url("/chunked")), "");
    EXPECT_EQ(UrlToFile(server.url("/fits"), target), 1000);
    EXPECT_EQ(ReadFile(target), BinaryBody(1000));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(DownloadTest, MissingFolderFailsQuietly) {
    server.serve("/page", "body");
    server.start();
    const auto target = dir / "no-such-folder" / "page.txt";
    EXPECT_EQ(UrlToFile(server.url("/page"), target), 0);
    EXPECT_FALSE(std::filesystem::exists(target.parent_path()));
}

TEST_F(DownloadTest, UrlToTextReturnsWhateverBodyArrivedOrNothing) {
    const std::string body = std::string("line one\nline two\r\n") + '\0' + "after a NUL";
    server.serve("/text", body, 200, "text/plain");
    server.serve("/missing", "Not Found", 404);
    server.start();
    EXPECT_EQ(UrlToText(server.url("/text")), body);
    EXPECT_EQ(UrlToText(server.url("/missing")), "Not Found");  // shown, never stored
    EXPECT_EQ(UrlToText(ClosedUrl("/text")), "");
}

}  // namespace
}  // namespace parlux
