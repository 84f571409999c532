// The demo's set-up: the data folder filled from the sample, the closed port,
// the served sample with its Last-Modified headers, and the list of pages a
// run produced.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/core/PingersList.h"
#include "common/core/StampDate.h"
#include "common/core/StatsTypes.h"
#include "common/core/UrlToFile.h"
#include "tools/demo/DemoSetup.h"
#include "tools/demo/SampleServer.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSample = PARLUX_SAMPLE_DIR;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The demo as it runs: the sample served on a loopback port, a data folder
// whose list points at it and at a port where nothing listens. Every served
// page arrives byte for byte; the pinger that is down keeps its cached copy.
TEST(DemoSetup, TheSampleDownloadsAsListed) {
    const fs::path folder = fs::temp_directory_path() / ("parlux-demo-served-" + std::to_string(::getpid()));
    parlux::demo::SampleServer server(kSample / "www");
    server.start();
    const int downPort = parlux::demo::ClosedLoopbackPort();
    ASSERT_GT(downPort, 0);
    parlux::demo::PrepareDataFolder(kSample / "data", folder, server.port(), downPort);

    const auto list = parlux::ReadPingersList(folder / "Pingers.lst");
    ASSERT_TRUE(list.has_value());
    ASSERT_FALSE(list->records.empty());
    int served = 0, down = 0;
    for (const auto& r : list->records) {
        const fs::path local = folder / parlux::StatsFileName(r.type, r.nick);
        const std::string before = Slurp(local);
        const std::int32_t bytes = parlux::UrlToFile(r.url, local);
        const std::string path = r.url.substr(r.url.find('/', 17) + 1);
        if (r.url.find(std::string(":").append(std::to_string(downPort)).append("/")) != std::string::npos) {
            ++down;
            EXPECT_EQ(bytes, 0) << r.url;
            EXPECT_FALSE(before.empty()) << local;
            EXPECT_EQ(Slurp(local), before) << local;
        } else {
            ++served;
            const std::string page = Slurp(kSample / "www" / path);
            EXPECT_EQ(bytes, static_cast<std::int32_t>(page.size())) << r.url;
            EXPECT_EQ(Slurp(local), page) << local;
        }
    }
    EXPECT_GT(served, 0);
    EXPECT_GT(down, 0);
    EXPECT_EQ(server.failures(), std::vector<std::string>{});
    server.stop();
    fs::remove_all(folder);
}

TEST(DemoSetup, DataFolderIsAFreshCopyWithThePortsFilledIn) {
    const fs::path folder = fs::temp_directory_path() / ("parlux-demo-test-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "Comp_DS_PGP-1.txt") << "left over";
    parlux::demo::PrepareDataFolder(kSample / "data", folder, 43210, 43211);

    EXPECT_FALSE(fs::exists(folder / "Comp_DS_PGP-1.txt"));
    for (const auto& entry : fs::directory_iterator(kSample / "data")) {
        const fs::path copy = folder / entry.path().filename();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        if (entry.path().filename() != "Pingers.lst") {
            EXPECT_EQ(Slurp(copy), Slurp(entry.path())) << copy;
        }
    }
    const std::string original = Slurp(kSample / "data" / "Pingers.lst");
    const std::string filled = Slurp(folder / "Pingers.lst");
    EXPECT_EQ(filled.find('@'), std::string::npos);
    auto list = parlux::ReadPingersList(folder / "Pingers.lst");
    ASSERT_TRUE(list.has_value());
    auto sampleList = parlux::ReadPingersList(kSample / "data" / "Pingers.lst");
    ASSERT_EQ(list->records.size(), sampleList->records.size());
    for (std::size_t i = 0; i < list->records.size(); ++i) {
        const auto& r = list->records[i];
        const auto& o = sampleList->records[i];
        EXPECT_EQ(r.type, o.type);
        EXPECT_EQ(r.nick, o.nick);
        const bool down = o.url.find("@DOWNPORT@") != std::string::npos;
        const std::string port = down ? "43211" : "43210";
        EXPECT_EQ(r.url, "http://127.0.0.1:" + port + o.url.substr(o.url.find('/', 17))) << o.url;
    }
    // Only the placeholders changed: the line ends and quotes are as in the sample.
    EXPECT_EQ(std::count(filled.begin(), filled.end(), '\r'), std::count(original.begin(), original.end(), '\r'));
    fs::remove_all(folder);
}

TEST(DemoSetup, ClosedPortRefusesConnections) {
    const int port = parlux::demo::ClosedLoopbackPort();
    ASSERT_GT(port, 0);
    ASSERT_LT(port, 65536);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    const int error = errno;
    ::close(fd);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(error, ECONNREFUSED);
}

TEST(DemoSetup, PagesAreListedByNameWithTheirSizes) {
    const fs::path folder = fs::temp_directory_path() / ("parlux-demo-pages-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "Comp_RS_MIX-1.txt") << "12345";
    std::ofstream(folder / "Comp_DS_MIX-1.html") << "abc";
    std::ofstream(folder / "Comp_DS_MIX-1.tmp") << "no page";
    std::ofstream(folder / "DMP-S_StatsArray.tmp") << "no page";
    const auto pages = parlux::demo::ListPages(folder);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].name, "Comp_DS_MIX-1.html");
    EXPECT_EQ(pages[0].size, 3u);
    EXPECT_EQ(pages[1].name, "Comp_RS_MIX-1.txt");
    EXPECT_EQ(pages[1].size, 5u);
    fs::remove_all(folder);
    EXPECT_EQ(parlux::demo::ExpectedPages(false).size(), 14u);
    EXPECT_EQ(parlux::demo::ExpectedPages(true).size(), 15u);
    EXPECT_EQ(parlux::demo::ExpectedPages(true, true).size(), 19u);
}

TEST(SampleServer, LastModifiedInTheTwoFormsAndOnePageWithout) {
    using namespace std::chrono;
    const auto written = file_clock::from_sys(sys_days{2026y / November / 30} + 21h + 5min + 9s);
    const std::string usual = parlux::demo::LastModifiedOf("/alpha/rlist.html", written);
    const std::string est = parlux::demo::LastModifiedOf("/echo/rlist.html", written);
    EXPECT_EQ(usual, "Mon, 30 Nov 2026 21:05:09 GMT");
    EXPECT_EQ(est, "Mon 30 Nov 2026 21:05:09 EST");
    EXPECT_EQ(parlux::ParseStampDate(usual), parlux::MakeDateTime(2026, 11, 30, 21, 5, 9));
    EXPECT_EQ(parlux::ParseStampDate(est), parlux::MakeDateTime(2026, 11, 30, 16, 5, 9));
    EXPECT_EQ(parlux::demo::LastModifiedOf("/charlie/mlist2.html", written), "");
}

}  // namespace
