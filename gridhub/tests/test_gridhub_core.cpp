// Gridhub without its window: what each area and type lists, what a file's
// tooltip says, and the captions derived from a data folder however written.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <ctime>

#include "common/core/AccessKeys.h"
#include "gridhub/GridhubCore.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;
using gridhub::Area;
using Names = std::vector<std::string>;

// A data folder after some downloads and runs, with names that come close.
class GridhubFiles : public ::testing::Test {
protected:
    GridhubFiles() {
        for (const char* name :
             {"zulu_rlist.shtml", "alpha_rlist.shtml", "alpha_rlist2.shtml", "beta_mlist2.shtml", "alpha_mlist.shtml",
              "_rlist.shtml", "alpha_rlist.shtml.part-abc123", "alpha_type2.lis", "alpha_pubring.mix",
              "alpha_rsakeys.asc", "beta_dsskeys.asc", "Comp_RS_PGP-1.txt", "Comp_DS_PGP-1.html", "Comp_RC_0000.txt",
              "Comp_notes", "comp_DS_MIX-1.txt", "XComp_DS.txt", "Pingers.lst", "DMP-S_StatsArray.tmp"})
            WriteFile(data_ / name, "x");
        fs::create_directory(data_ / "old_rlist.shtml");  // a folder is not a download
        fs::create_directory(data_ / "Comp_old.d");
    }
    TempDir data_;
};

TEST_F(GridhubFiles, EachTypeListsItsDownloadsAndResultsTheComparisonPagesInNameOrder) {
    const struct {
        Area area;
        std::string choice;
        Names expected;
    } cases[] = {
        {Area::DownLoads, "PGP-1", {"_rlist.shtml", "alpha_rlist.shtml", "zulu_rlist.shtml"}},
        {Area::DownLoads, "PGP-2", {"alpha_rlist2.shtml"}},
        {Area::DownLoads, "MIX-1", {"alpha_mlist.shtml"}},
        {Area::DownLoads, "MIX-2", {"beta_mlist2.shtml"}},
        {Area::DownLoads, "K-TY2", {"alpha_type2.lis"}},
        {Area::DownLoads, "K-MIX", {"alpha_pubring.mix"}},
        {Area::DownLoads, "K-RSA", {"alpha_rsakeys.asc"}},
        {Area::DownLoads, "K-DSS", {"beta_dsskeys.asc"}},
        {Area::DownLoads, "pgp-1", {}},  // types are exact
        {Area::Results, "Results", {"Comp_DS_PGP-1.html", "Comp_RC_0000.txt", "Comp_RS_PGP-1.txt"}},
        {Area::None, "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(gridhub::ListFiles(data_.path(), c.area, c.choice), c.expected) << c.choice;
    EXPECT_EQ(gridhub::ListFiles(data_ / "missing", Area::Results, "Results"), Names{});
}

TEST(GridhubTooltip, ReadsTheLocalModificationTimeAndTheSize) {
    TempDir data;
    const fs::path file = data / "Comp_DS_PGP-1.txt";
    WriteFile(file, std::string(1024, 'x'));
    // Noon on 2 May 2004, local time.
    std::tm noon{};
    noon.tm_year = 104;
    noon.tm_mon = 4;
    noon.tm_mday = 2;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&noon), 0}, {std::mktime(&noon), 0}};
    ASSERT_EQ(::utimes(file.c_str(), times), 0);
    EXPECT_EQ(gridhub::FileTooltip(file), "2004/05/02 12:00:00 | 1024");

    WriteFile(data / "empty.txt", "");
    EXPECT_TRUE(gridhub::FileTooltip(data / "empty.txt").ends_with(" | 0"));
    EXPECT_EQ(gridhub::FileTooltip(data / "gone.txt"), "");
    EXPECT_EQ(gridhub::FileTooltip(data.path()), "");  // a folder has no such line
}

// The captions themselves are in the window's golden file; a data folder
// written with a trailing slash must not move "the folder above it" down into
// the data folder, nor double a slash.
TEST(GridhubCaptions, ADataFolderWithATrailingSlashNamesTheSameFiles) {
    const fs::path plain = "/srv/site/Parlux", slashed = "/srv/site/Parlux/";
    EXPECT_EQ(gridhub::ViewCaptions(slashed), gridhub::ViewCaptions(plain));
    EXPECT_EQ(gridhub::MyStatsCaptions(slashed), gridhub::MyStatsCaptions(plain));
    EXPECT_EQ(gridhub::MyStatsCaptions(plain).front(), "/srv/site/MyCypSta1.txt");
}

// The View menu as the history adds page kinds after today's: every entry
// before them keeps its object name and its access key, and the new ones are
// named after their files.
TEST(GridhubViewMenu, PagesAddedLaterMoveNoNameNorKeyBefore) {
    std::vector<history::HistoryPageKind> kinds = history::HistoryPageKinds();
    kinds.push_back({"Remailers.html", history::PageScope::PerNight, true, nullptr});
    kinds.push_back({"Latency_<type>.html", history::PageScope::PerStatsType, true, nullptr});
    kinds.push_back({"Hidden.txt", history::PageScope::PerNight, false, nullptr});
    const auto names = [](const std::vector<gridhub::ViewEntry>& menu) {
        Names out;
        for (const auto& entry : menu) out.push_back(entry.objectName + " " + entry.caption);
        return out;
    };
    const auto keys = [](const std::vector<gridhub::ViewEntry>& menu) {
        Names captions;
        for (const auto& entry : menu)
            if (entry.caption != "-") captions.push_back(entry.caption);
        return ChooseAccessKeys(captions, captions.size());
    };
    const auto without = gridhub::ViewMenu("/srv/Parlux", false);
    const auto before = gridhub::ViewMenu("/srv/Parlux", true);
    const auto after = gridhub::ViewMenu("/srv/Parlux", true, kinds);
    const Names added = {"MnusView_Remailers_html /srv/Parlux/Remailers.html",
                         "MnusView_Latency_PGP-1_html /srv/Parlux/Latency_PGP-1.html",
                         "MnusView_Latency_MIX-1_html /srv/Parlux/Latency_MIX-1.html",
                         "MnusView_Latency_PGP-2_html /srv/Parlux/Latency_PGP-2.html",
                         "MnusView_Latency_MIX-2_html /srv/Parlux/Latency_MIX-2.html"};
    for (const auto& [shorter, longer] : {std::pair{without, before}, std::pair{before, after}}) {
        const Names a = names(shorter), b = names(longer);
        ASSERT_LT(a.size(), b.size());
        EXPECT_EQ(Names(b.begin(), b.begin() + static_cast<long>(a.size())), a);
        const auto keysA = keys(shorter), keysB = keys(longer);
        EXPECT_EQ(std::vector<int>(keysB.begin(), keysB.begin() + static_cast<long>(keysA.size())), keysA);
    }
    const Names all = names(after);
    EXPECT_EQ(Names(all.end() - static_cast<long>(added.size()), all.end()), added);
    EXPECT_EQ(names(without).back(), "MnusView_Parlux_conf /srv/Parlux/Parlux.conf");
}

}  // namespace
}  // namespace parlux::test
