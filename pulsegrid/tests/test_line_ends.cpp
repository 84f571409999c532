// Line ends as Pulsegrid's readers of downloaded pages meet them: a line ends
// at CR LF, at a lone CR and at a lone LF, whether or not the repair step ran,
// and no page written from them holds a lone LF.
#include <algorithm>

#include "pulsegrid/tests/PipelineFixture.h"

namespace parlux::test {
namespace {

using Lines = std::vector<std::string>;

class LineEnds : public PipelineTest {};

// A page whose headings end in CR LF around a list of LF-only lines (what a
// server-side include gives), an LF-only page too short for the repair, and
// others: every row is read with its own figures, and the pages written from
// them hold CR LF line ends only.
TEST_F(LineEnds, MixedPagesGiveEveryRowAndThePagesNoLoneLf) {
    const std::string head = "Last update: Fri 30 Nov 2012 10:20:00 GMT";
    const std::string rows = "alpha    a1 figures\nbravo    b2 figures\ncharlie  c3 figures\n";
    const std::string longLine(230, '=');
    struct Case {
        const char* name;
        std::string page;
    };
    const std::vector<Case> cases = {
        {"CR LF headings around LF rows", head + "\r\nremailer  history\r\n--------\r\n" + rows + "\r\n</PRE>\r\n"},
        {"LF only, under 200 bytes", head + "\nremailer  history\n--------\n" + rows + "\n"},
        {"LF only after a long first line, a NUL byte in it",
         longLine + std::string(1, '\0') + "\n" + head + "\nremailer  history\n--------\n" + rows},
        {"lone CR ends",
         head + "\rremailer  history\r--------\r" + std::string(rows).replace(rows.find('\n'), 1, "\r") + "\r"},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) server_.serve("/page" + std::to_string(k), cases[k].page);
    startServer();
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE(c.name);
        writeList("\"PGP-1\",\"p1\",\"" + url("/page" + std::to_string(k)) + "\"\r\n");
        workbench().SUPER();
        EXPECT_EQ(workbench().box("txt_LOA_Stats"), "3");
        std::vector<std::string> texts;
        const Table& stats = workbench().table(kMainTable);
        for (int r = 0; stats.loaded() && r < stats.rowCount(); ++r)
            texts.push_back(stats.text(kStatsName, r) + "|" + stats.text(kStatsText, r));
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, (Lines{"alpha|a1 figures", "bravo|b2 figures", "charlie|c3 figures"}));
        for (const char* page : {"Comp_DS_PGP-1.txt", "Comp_RS_PGP-1.txt", "Comp_DS_PGP-1.html"}) {
            const std::string text = ReadFile(data_ / page);
            for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
                ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << page << " has a lone LF at " << at;
        }
    }
}

}  // namespace
}  // namespace parlux::test
