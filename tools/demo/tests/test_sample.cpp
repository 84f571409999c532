// The bundled sample: its pinger list, its pages in the forms the comparer
// reads, and the demo's data-folder set-up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DemoSetup.h"
#include "SampleServer.h"
#include "core/Common.h"
#include "core/PingersList.h"
#include "core/StampDate.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSample = PARLUX_SAMPLE_DIR;
const std::vector<std::string> kTypes = {"PGP-1", "MIX-1", "PGP-2", "MIX-2"};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines as the comparer reads them once line ends are repaired: a line ends at
// CR LF, CR or LF.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; }

struct Page {
    std::string type, nick;
    fs::path path;
};

// Every page of the sample, from the list: served ones under www/, the down
// pinger's cached copies in data/. The stats pages apart from the key files,
// which Lockgrid's run reads.
struct Sample {
    std::vector<parlux::PingerRecord> records;
    std::vector<Page> pages, keyFiles;
    std::set<std::string> nicks, downNicks;
};

Sample LoadSample() {
    Sample s;
    auto list = parlux::ReadPingersList(kSample / "data" / "Pingers.lst");
    if (!list)
        return s;
    s.records = list->records;
    for (const auto& r : s.records) {
        s.nicks.insert(r.nick);
        const std::string served = "http://127.0.0.1:@PORT@/";
        const std::string down = "http://127.0.0.1:@DOWNPORT@/";
        auto& pages = std::count(kTypes.begin(), kTypes.end(), r.type) ? s.pages : s.keyFiles;
        if (StartsWith(r.url, served)) {
            pages.push_back({r.type, r.nick, kSample / "www" / r.url.substr(served.size())});
        } else if (StartsWith(r.url, down)) {
            s.downNicks.insert(r.nick);
            pages.push_back({r.type, r.nick, kSample / "data" / parlux::StatsFileName(r.type, r.nick)});
        }
    }
    return s;
}

TEST(Sample, PingersListHasTheFourTypesForAtLeastFivePingers) {
    auto list = parlux::ReadPingersList(kSample / "data" / "Pingers.lst");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->warning, "");
    std::map<std::string, std::multiset<std::string>> typesOf;
    std::multiset<std::string> keyTypes;
    for (const auto& r : list->records)
        (StartsWith(r.type, "K-") ? keyTypes : typesOf[r.nick]).insert(r.type);
    EXPECT_GE(typesOf.size(), 5u);
    for (const char* type : {"K-RSA", "K-DSS", "K-TY2", "K-MIX"})
        EXPECT_GE(keyTypes.count(type), 2u) << type;
    const std::multiset<std::string> four(kTypes.begin(), kTypes.end());
    for (const auto& [nick, types] : typesOf)
        EXPECT_EQ(types, four) << nick;
}

TEST(Sample, EveryUrlIsALoopbackPlaceholderAndItsPageExists) {
    const Sample s = LoadSample();
    ASSERT_FALSE(s.records.empty());
    EXPECT_EQ(s.pages.size() + s.keyFiles.size(), s.records.size())
        << "a URL is neither @PORT@ nor @DOWNPORT@ on 127.0.0.1";
    EXPECT_EQ(s.downNicks.size(), 1u);
    for (const auto* pages : {&s.pages, &s.keyFiles})
        for (const auto& page : *pages)
            EXPECT_TRUE(fs::is_regular_file(page.path)) << page.path;
    // The pinger that is down serves nothing; the others have no cached copy.
    for (const auto& nick : s.downNicks)
        EXPECT_FALSE(fs::exists(kSample / "www" / nick)) << nick;
    for (const auto& entry : fs::directory_iterator(kSample / "data")) {
        const std::string name = entry.path().filename().string();
        if (name.find(".shtml") == std::string::npos)
            continue;
        EXPECT_TRUE(s.downNicks.count(name.substr(0, name.find('_')))) << name;
    }
}

// Each page has the update line of its version, a time text the date reader
// takes, two heading lines, and a table of rows that ends at an empty line or
// "</PRE>" before anything that is not a stats row.
TEST(Sample, EveryPageHasItsUpdateLineAndAProperlyEndedTable) {
    const Sample s = LoadSample();
    ASSERT_FALSE(s.pages.empty());
    for (const auto& page : s.pages) {
        SCOPED_TRACE(page.path.string());
        const bool v2 = page.type.back() == '2';
        const std::string prefix = v2 ? "Generated: " : "Last update: ";
        const auto lines = Lines(Slurp(page.path));
        auto it = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return StartsWith(l, "Last update: ") || StartsWith(l, "Generated: ");
        });
        ASSERT_NE(it, lines.end());
        ASSERT_TRUE(StartsWith(*it, prefix)) << *it;
        const std::string stamp = it->substr(prefix.size(), 28);
        EXPECT_NO_THROW(parlux::ParseStampDate(stamp)) << stamp;
        ASSERT_GT(lines.end() - it, 3);
        it += 3;
        int rows = 0;
        for (; it != lines.end() && !it->empty() && *it != "</PRE>"; ++it, ++rows) {
            EXPECT_NE(it->find('%'), std::string::npos) << "not a stats row: " << *it;
            EXPECT_EQ(it->find('<'), std::string::npos) << "markup inside the table: " << *it;
        }
        EXPECT_NE(it, lines.end()) << "the table runs to the end of the file";
        EXPECT_GT(rows, 3);
    }
}

// The capability lines, escaped as in a web page, start their lines in every
// page that Flaggrid reads.
TEST(Sample, CapabilityPagesHoldEscapedCapabilityLines) {
    const Sample s = LoadSample();
    for (const auto& page : s.pages) {
        if (page.type == "MIX-1")
            continue;
        SCOPED_TRACE(page.path.string());
        int capLines = 0;
        for (const auto& line : Lines(Slurp(page.path))) {
            if (!StartsWith(line, "$remailer{"))
                continue;
            ++capLines;
            EXPECT_TRUE(StartsWith(line, "$remailer{&quot;")) << line;
            EXPECT_NE(line.find("&lt;"), std::string::npos) << line;
            EXPECT_NE(line.find("&gt; "), std::string::npos) << line;
            EXPECT_EQ(line.find('"'), std::string::npos) << line;
        }
        EXPECT_GT(capLines, 3);
    }
}

// Line ends: one pinger serves LF alone, so that the repair is needed (the
// first line read up to a CR is longer than 200 characters); the others and
// the cached copies use CR LF throughout.
TEST(Sample, OnePingerServesLfOnlyPagesTheOthersCrLf) {
    const Sample s = LoadSample();
    std::set<std::string> lfOnly;
    for (const auto& page : s.pages) {
        const std::string text = Slurp(page.path);
        ASSERT_FALSE(text.empty()) << page.path;
        if (text.find('\r') == std::string::npos) {
            lfOnly.insert(page.nick);
            EXPECT_GT(text.size(), 200u) << page.path;
            continue;
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF in " << page.path;
            }
        }
    }
    ASSERT_EQ(lfOnly.size(), 1u);
    for (const auto& page : s.pages) {
        if (lfOnly.count(page.nick)) {
            EXPECT_EQ(Slurp(page.path).find('\r'), std::string::npos) << page.path;
        }
    }
    EXPECT_FALSE(s.downNicks.count(*lfOnly.begin()));
}

// The parser's special cases occur: rows it drops, a name cut to 9
// characters, and both ways of ending a table.
TEST(Sample, PagesCoverTheParsersSpecialCases) {
    const Sample s = LoadSample();
    std::set<std::string> names;
    bool longName = false, endsEmpty = false, endsPre = false;
    for (const auto& page : s.pages) {
        const auto lines = Lines(Slurp(page.path));
        auto it = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return StartsWith(l, "Last update: ") || StartsWith(l, "Generated: ");
        });
        if (lines.end() - it < 4)
            continue;
        for (it += 3; it != lines.end() && !it->empty() && *it != "</PRE>"; ++it) {
            const std::string name = it->substr(0, it->find(' '));
            names.insert(name);
            longName = longName || name.size() > 9;
        }
        if (it != lines.end()) {
            endsEmpty = endsEmpty || it->empty();
            endsPre = endsPre || *it == "</PRE>";
        }
    }
    EXPECT_TRUE(names.count("nym"));
    EXPECT_TRUE(names.count("xgnym"));
    EXPECT_TRUE(longName);
    EXPECT_TRUE(endsEmpty);
    EXPECT_TRUE(endsPre);
}

TEST(Sample, PingersBadNamesAListedPinger) {
    const Sample s = LoadSample();
    parlux::FieldReader reader(Slurp(kSample / "data" / "PingersBad.lst"));
    std::vector<std::string> bad;
    for (std::string nick; reader.next(nick);)
        bad.push_back(nick);
    ASSERT_FALSE(bad.empty());
    for (const auto& nick : bad)
        EXPECT_TRUE(s.nicks.count(nick)) << nick;
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
