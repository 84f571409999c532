// Comp_RC_0000.txt from whole SUPER runs over pages in the pingers' web form,
// compared whole against the expected reports kept beside these tests.
#include <algorithm>

#include "common/core/TextFields.h"
#include "flaggrid/tests/FlaggridFixture.h"

namespace parlux::test {
namespace {

class ReportGoldenTest : public FlaggridTest {
protected:
    long pinged(const std::string& line) {
        const auto lines = CrLfLines(report());
        return std::count(lines.begin(), lines.end(), line);
    }
};

TEST_F(ReportGoldenTest, TwoPingersThreeRemailersFillTheMissingCells) {
    WriteTwoByThree(data_.path());
    workbench().SUPER();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "2");
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "4");
    EXPECT_EQ(workbench().box("txt_LOA_Pingeds"), "3");
    EXPECT_EQ(workbench().box("txt_EXP_CapStrings"), "6");
    EXPECT_EQ(workbench().box("txt_REV_CapStrings"), "6");
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "True");
    EXPECT_EQ(workbench().count(kMainTable), 6);
    EXPECT_EQ(pinged(PadField("zeta", 9) + "|" + PadField("<>", 50) + "-" + std::string(130, ' ') + "|"), 2);
    ExpectGolden(report(), golden("grid_2x3.txt"));
}

TEST_F(ReportGoldenTest, RealListAgainstTheNewestVersion2Page) {
    ScopedTimeZone utc("UTC0");
    writeList(
        "\"PGP-1\",\"aurora\",\"http://aurora.example/rlist.html\"\r\n"
        "\"MIX-1\",\"aurora\",\"http://aurora.example/mlist.html\"\r\n"
        "\"MIX-2\",\"moria\",\"http://moria.example/mlist2.html\"\r\n"
        "\"PGP-2\",\"moria\",\"http://moria.example/rlist2.html\"\r\n");
    SetFileTime(writePage("PGP-1", "aurora", HtmlPage("Remailer list", RealWorldRlist())),
                MakeDateTime(2024, 3, 5, 7, 41, 0));
    // The version-1 Mixmaster list has no capability lines and is never chosen.
    SetFileTime(writePage("MIX-1", "aurora", HtmlPage("Mixmaster list", "Last update: x\n")),
                MakeDateTime(2024, 3, 5, 9, 0, 0));
    // moria: the older Mixmaster page loses to the Cypherpunk page.
    SetFileTime(writePage("MIX-2", "moria",
                          HtmlPage("Mixmaster list",
                                   Version2List("Mixmaster", {{"austria", "stale@old.example", "stale flags"}}))),
                MakeDateTime(2024, 3, 4, 7, 45, 0));
    SetFileTime(
        writePage("PGP-2", "moria",
                  HtmlPage("Cypherpunk list",
                           Version2List("Cypherpunk",
                                        {{"austria", "mixmaster@remailer.privacy.at",
                                          "cpunk max mix pgp pgponly repgp remix latent hash cut test ekx inflt50 "
                                          "rhop5 reord klen1024"},
                                         {"dizum", "remailer@dizum.com", "cpunk max mix pgp? pgponly repgp remix"},
                                         {"frell", "godot&remailer@frell.eu.org", "cpunk mix & pgp"},
                                         {"zenith", "zenith@remailer.example.org", "cpunk mix middle latent"}}))),
        MakeDateTime(2024, 3, 5, 7, 46, 0));
    workbench().SUPER();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "22");
    EXPECT_EQ(workbench().box("txt_LOA_Pingeds"), "19");
    EXPECT_EQ(workbench().box("txt_EXP_CapStrings"), "38");
    ExpectGolden(report(), golden("realworld.txt"));
}

TEST_F(ReportGoldenTest, LongFieldsAreCutAndNamesAlikeInNineCharactersStayApart) {
    // Two nicks and two remailers that agree in their first 9 characters: the
    // sort keys cannot tell them apart, the report must.
    writeList(
        "\"PGP-2\",\"pingerlong2\",\"u2\"\r\n"
        "\"PGP-2\",\"pingerlong1\",\"u1\"\r\n");
    const std::string longName(190, 'n');
    const std::string longAddress = "a-very-long-remailer-address@a-very-long-host.example.org";  // 57 characters
    const std::string longFlags =
        "cpunk max mix middle pgp pgponly repgp remix latent hash cut test ek ekx esub inflt50 rhop5 reord post "
        "klen2048 extra-flag-one extra-flag-two";
    writePage("PGP-2", "pingerlong1",
              HtmlPage("Cypherpunk list", Version2List("Cypherpunk", {{"remailer1b", "one-b@x.org", "cpunk one-b"},
                                                                      {longName, longAddress, longFlags}})));
    writePage("PGP-2", "pingerlong2",
              HtmlPage("Cypherpunk list", Version2List("Cypherpunk", {{"remailer1a", "two-a@x.org", "cpunk two-a"},
                                                                      {"remailer1b", "two-b@x.org", "cpunk two-b"}})));
    workbench().SUPER();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(workbench().box("txt_EXP_CapStrings"), "6");
    EXPECT_EQ(longFlags.size(), 141u);
    ExpectGolden(report(), golden("cut_fields.txt"));
}

}  // namespace
}  // namespace parlux::test
