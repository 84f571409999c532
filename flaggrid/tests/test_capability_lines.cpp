// LOA_CapStrings: which page lines are capability lines, how they are decoded
// and cut, and what happens to lines and pages that cannot be used.
#include <algorithm>

#include "common/core/TextFields.h"
#include "flaggrid/tests/FlaggridFixture.h"

namespace parlux::test {
namespace {

struct CutCase {
    const char* what;
    std::string line;
    std::string name, address, capabilities;
};

TEST(ParseCapabilityLine, DecodesTheEntitiesThenCutsNameAddressAndFlags) {
    const CutCase cases[] = {
        {"the page form", "$remailer{&quot;alpha&quot;} = &quot;&lt;ADDR&gt; cpunk mix pgp&quot;;", "alpha", "ADDR",
         "cpunk mix pgp"},
        {"the plain-text form", "$remailer{\"aarg\"} = \"<remailer@aarg.net> cpunk mix middle\";", "aarg",
         "remailer@aarg.net", "cpunk mix middle"},
        {"a question mark and blank are removed, joining two flags",
         "$remailer{&quot;b&quot;} = &quot;&lt;b@x.org&gt; cpunk mix? pgp ? latent&quot;;", "b", "b@x.org",
         "cpunk mixpgp latent"},
        {"the ampersand entity stays as written",
         "$remailer{&quot;c&amp;d&quot;} = &quot;&lt;c&amp;d@x.org&gt; cpunk &amp;amp&quot;;", "c&amp;d",
         "c&amp;d@x.org", "cpunk &amp;amp"},
        {"nothing is trimmed", "$remailer{&quot; spaced &quot;} = &quot;&lt; a@x.org &gt;  cpunk mix &quot;;",
         " spaced ", " a@x.org ", " cpunk mix "},
        {"the one character after the address is skipped, whatever it is",
         "$remailer{&quot;e&quot;} = &quot;&lt;e@x.org&gt;Xcpunk&quot;;", "e", "e@x.org", "cpunk"},
        {"no flags", "$remailer{&quot;f&quot;} = &quot;&lt;f@x.org&gt; &quot;;", "f", "f@x.org", ""},
        {"a question mark alone stays", "$remailer{&quot;g&quot;} = &quot;&lt;g@x.org&gt; mix?&quot;;", "g", "g@x.org",
         "mix?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CapabilityLine cut;
        ASSERT_TRUE(ParseCapabilityLine(c.line, cut));
        EXPECT_EQ(cut.name, c.name);
        EXPECT_EQ(cut.address, c.address);
        EXPECT_EQ(cut.capabilities, c.capabilities);
    }
}

TEST(ParseCapabilityLine, RefusesLinesThatCannotBeCut) {
    const std::pair<const char*, std::string> cases[] = {
        {"no second double quote", "$remailer{&quot;alpha} = &lt;a@x.org&gt; cpunk;"},
        {"no double quote at all", "$remailer{alpha} = &lt;a@x.org&gt; cpunk;"},
        {"no > after the <", "$remailer{&quot;a&quot;} = &quot;&lt;a@x.org cpunk&quot;;"},
        {"a > only before the <", "$remailer{&quot;a&gt;&quot;} = &quot;&lt;a@x.org cpunk&quot;;"},
        {"no <", "$remailer{&quot;a&quot;} = &quot;a@x.org&gt; cpunk&quot;;"},
        {"no closing double quote", "$remailer{&quot;a&quot;} = &quot;&lt;a@x.org&gt; cpunk mix"},
        {"the line ends at the >", "$remailer{&quot;a&quot;} = &quot;&lt;a@x.org&gt;"},
    };
    for (const auto& [what, line] : cases) {
        SCOPED_TRACE(what);
        CapabilityLine cut;
        EXPECT_FALSE(ParseCapabilityLine(line, cut));
    }
}

class CapStringsLoadTest : public FlaggridTest {
protected:
    void loadAll() {
        workbench().press("LOA_Pingers");
        workbench().press("LOA_CapStrings");
    }
    // Rows of CapStringsArray as "nick|name|address|flags".
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        const Table& t = workbench().table(kMainTable);
        if (!t.loaded()) return out;
        for (int r = 0; r < t.rowCount(); ++r) {
            EXPECT_EQ(t.cell(kCapKey, r).kind, Cell::Kind::Empty);
            out.push_back(t.text(kCapNick, r) + "|" + t.text(kCapName, r) + "|" + t.text(kCapAddress, r) + "|" +
                          t.text(kCapText, r));
        }
        return out;
    }
    bool logged(const std::string& detail) {
        const std::string tail = ",\"" + detail + "\"";
        for (const auto& r : logRecords())
            if (r.size() >= tail.size() && r.compare(r.size() - tail.size(), tail.size(), tail) == 0) return true;
        return false;
    }
};

TEST_F(CapStringsLoadTest, ReadsVersion1LinesBeforeTheStatsAndVersion2LinesAfterTheirTitle) {
    writeList(
        "\"PGP-1\",\"alpha\",\"http://alpha.example/rlist.html\"\r\n"
        "\"PGP-2\",\"bravo\",\"http://bravo.example/rlist2.html\"\r\n"
        "\"MIX-2\",\"carol\",\"http://carol.example/mlist2.html\"\r\n");
    writePage("PGP-1", "alpha",
              HtmlPage("Remailer list", Version1List({{"austria", "mixmaster@remailer.privacy.at", "cpunk max mix"},
                                                      {"dizum", "remailer@dizum.com", "cpunk pgp"}})));
    writePage(
        "PGP-2", "bravo",
        HtmlPage("Cypherpunk list",
                 Version2List("Cypherpunk", {{"frell", "godot@remailer.frell.eu.org", "cpunk max mix pgp hsub"}})));
    writePage("MIX-2", "carol",
              HtmlPage("Mixmaster list", Version2List("Mixmaster", {{"senshi", "senshiremailer@gmx.de", "middle"},
                                                                    {"austria", "mix@privacy.at", "mix"}})));
    loadAll();
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "5");
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          "alpha|austria|mixmaster@remailer.privacy.at|cpunk max mix",
                          "alpha|dizum|remailer@dizum.com|cpunk pgp",
                          "bravo|frell|godot@remailer.frell.eu.org|cpunk max mix pgp hsub",
                          "carol|senshi|senshiremailer@gmx.de|middle",
                          "carol|austria|mix@privacy.at|mix",
                      }));
    EXPECT_TRUE(messages().empty());
}

TEST_F(CapStringsLoadTest, ReadsEveryCapabilityLineOfARealList) {
    writeList("\"PGP-1\",\"real\",\"http://real.example/rlist.html\"\r\n");
    writePage("PGP-1", "real", HtmlPage("Remailer list", RealWorldRlist()));
    loadAll();
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "18");
    const auto r = rows();
    ASSERT_EQ(r.size(), 18u);
    EXPECT_EQ(r.front(),
              "real|3nails|3nails@peculiar.user32.com|cpunk mix hybrid middle pgp pgponly latent ek ekx esub cut "
              "hash repgp remix reord ext max test inflt75 rhop5 klen1000");
    EXPECT_EQ(r.back(),
              "real|slug|mix@slug.slugish.net|cpunk max mix pgp pgponly repgp remix esubbf hsub latent hash cut test "
              "ekx inflt50 rhop5 reord");
}

TEST_F(CapStringsLoadTest, MarkerMustOpenTheLineInItsExactCase) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n");
    const std::string good = HtmlEntities(CapabilityText({"kept", "kept@x.org", "cpunk"}));
    std::string page = "<html><body>\r\n<pre>" + HtmlEntities(CapabilityText({"onpre", "p@x.org", "mix"})) + "\r\n" +
                       "  " + HtmlEntities(CapabilityText({"blanks", "b@x.org", "mix"})) + "\r\n" + "\t" +
                       HtmlEntities(CapabilityText({"tab", "t@x.org", "mix"})) + "\r\n" +
                       "$Remailer{&quot;upper&quot;} = &quot;&lt;u@x.org&gt; mix&quot;;\r\n" +
                       "$REMAILER{&quot;caps&quot;} = &quot;&lt;c@x.org&gt; mix&quot;;\r\n" + good + "\r\n" +
                       "</pre></body></html>\r\n";
    writePage("PGP-2", "alpha", page);
    loadAll();
    EXPECT_EQ(rows(), std::vector<std::string>{"alpha|kept|kept@x.org|cpunk"});
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "1");
}

TEST_F(CapStringsLoadTest, LinesThatCannotBeCutAreSkippedUncountedAndNamed) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n\"MIX-2\",\"bravo\",\"u\"\r\n");
    const std::string noQuote = "$remailer{&quot;broken1} = &lt;b1@x.org&gt; cpunk;";
    const std::string noClose = "$remailer{&quot;broken2&quot;} = &quot;&lt;b2@x.org cpunk&quot;;";
    const std::string noEnd = "$remailer{&quot;broken3&quot;} = &quot;&lt;b3@x.org&gt; cpunk";
    writePage("PGP-2", "alpha",
              ToCrLf("<pre>\n" + HtmlEntities(CapabilityText({"one", "one@x.org", "cpunk"})) + "\n" + noQuote + "\n" +
                     noClose + "\n" + HtmlEntities(CapabilityText({"two", "two@x.org", "mix"})) + "\n" + noEnd +
                     "\n</pre>\n"));
    writePage("MIX-2", "bravo", HtmlPage("Mixmaster list", Version2List("Mixmaster", {{"one", "o@y.org", "mix"}})));
    loadAll();
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "3");
    EXPECT_EQ(rows(), (std::vector<std::string>{"alpha|one|one@x.org|cpunk", "alpha|two|two@x.org|mix",
                                                "bravo|one|o@y.org|mix"}));
    for (const auto& line : {noQuote, noClose, noEnd})
        EXPECT_TRUE(logged("alpha capability line skipped, it cannot be cut: " + line)) << line;
    EXPECT_TRUE(messages().empty());
}

TEST_F(CapStringsLoadTest, RemailerListedTwiceOnAPageKeepsItsFirstLine) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n\"PGP-1\",\"bravo\",\"u\"\r\n");
    writePage("PGP-2", "alpha",
              HtmlPage("Cypherpunk list", Version2List("Cypherpunk", {{"dup", "first@x.org", "cpunk first"},
                                                                      {"other", "o@x.org", "mix"},
                                                                      {"dup", "second@x.org", "cpunk second"}})));
    writePage("PGP-1", "bravo", HtmlPage("Remailer list", Version1List({{"dup", "b@x.org", "cpunk bravo"}})));
    loadAll();
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "3");
    EXPECT_EQ(rows(), (std::vector<std::string>{"alpha|dup|first@x.org|cpunk first", "alpha|other|o@x.org|mix",
                                                "bravo|dup|b@x.org|cpunk bravo"}));
    EXPECT_TRUE(logged("alpha dup listed again: the first line kept"));

    // The report keeps one line per pinger and remailer.
    for (const char* action :
         {"LOA_Pingeds", "SRT_Pingeds", "EXP_CapStrings", "REV_CapStrings", "SRT_CapStrings", "PRT_Compil"})
        workbench().press(action);
    ASSERT_EQ(workbench().box("txt_PRT_Compil"), "True");
    const auto lines = CrLfLines(report());
    const auto alphaLines =
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("alpha    |"); });
    EXPECT_EQ(alphaLines, 2);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        PadField("alpha", 9) + "|" + PadField("<first@x.org>", 50) + "-" +
                            PadField("cpunk first", 130) + "|"),
              lines.end());
}

TEST_F(CapStringsLoadTest, PageThatCannotBeOpenedIsNamedAndTheNextPingerIsRead) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n\"MIX-2\",\"bravo\",\"u\"\r\n");
    const auto gone = writePage("PGP-2", "alpha", HtmlPage("x", Version2List("Cypherpunk", {{"a", "a@x", "c"}})));
    writePage("MIX-2", "bravo", HtmlPage("x", Version2List("Mixmaster", {{"b", "b@x", "m"}})));
    workbench().press("LOA_Pingers");
    std::filesystem::remove(gone);
    workbench().press("LOA_CapStrings");
    EXPECT_EQ(rows(), std::vector<std::string>{"bravo|b|b@x|m"});
    EXPECT_TRUE(logged("alpha <data>/alpha_rlist2.shtml cannot be opened: pinger skipped"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(CapStringsLoadTest, BeforeThePingersAreLoadedShowsTheArrayMessage) {
    workbench().RESET();
    workbench().press("LOA_CapStrings");
    EXPECT_EQ(messages(), std::vector<std::string>{kArrayMessage});
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "0");
}

TEST_F(CapStringsLoadTest, PagesWithoutCapabilityLinesLeaveEveryLaterStepRefusing) {
    writeList("\"PGP-2\",\"alpha\",\"u\"\r\n");
    writePage("PGP-2", "alpha", HtmlPage("Cypherpunk list", "Stats-Version: 2.0\nno capabilities here\n"));
    workbench().SUPER();
    EXPECT_EQ(workbench().box("txt_LOA_Pingers"), "1");
    EXPECT_EQ(workbench().box("txt_LOA_CapStrings"), "0");
    EXPECT_FALSE(workbench().table(kMainTable).loaded());
    // LOA_Pingeds, SRT_Pingeds, EXP, REV, SRT_CapStrings and PRT_Compil each show the message once.
    EXPECT_EQ(messages(), std::vector<std::string>(6, kArrayMessage));
    EXPECT_EQ(workbench().box("txt_PRT_Compil"), "False");
    EXPECT_FALSE(reportExists());
}

}  // namespace
}  // namespace parlux::test
