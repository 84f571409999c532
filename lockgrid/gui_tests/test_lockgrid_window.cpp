// Lockgrid's window on the offscreen platform: the controls its description
// gives it, and a key type run through the real buttons and boxes.
#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "lockgrid/tests/LockgridFixture.h"
#include "workbench/testing/WorkbenchWindowTestSupport.h"

namespace parlux::test {
namespace {

class LockgridWindowTest : public WorkbenchWindowTest<KeysWorkbench> {
protected:
    LockgridWindowTest()
        : WorkbenchWindowTest(MakeDateTime(2026, 12, 7, 12, 30, 5), MakeDateTime(2026, 12, 7, 11, 30, 5),
                              "Lockgrid.log") {
        const auto records = ServeKeyFiles(server_);
        server_.start();
        WriteFile(data_ / "Pingers.lst", KeyFilesList(records, server_));
        openWindow();
    }
    LoopbackServer server_;
};

// Names, captions, tooltips and states of every widget and menu entry: the
// four key types, no button that starts another program.
TEST_F(LockgridWindowTest, WidgetTreeMatchesItsGoldenFile) {
    expectWidgetsGolden("lockgrid/gui_tests/golden/frm_Lockgrid.txt");
}

TEST_F(LockgridWindowTest, ATypeRunByItsButtonsFillsTheBoxesAndOpensItsPage) {
    widget<QRadioButton>("Option1_4")->click();  // MIX Pubring
    click("cmd_SUPER");
    // The same page as the core's HYPER run, but for its time stamp.
    const auto lines = CrLfLines(ReadFile(data_ / "Comp_RK_K-MIX.txt"));
    const auto expected = CrLfLines(ReadFile(KeysGolden("Comp_RK_K-MIX.txt")));
    const auto blocks = std::count_if(expected.begin(), expected.end(), [](const std::string& l) {
        return l.starts_with(std::string(9, ' ') + "|") && l[10] != '-';
    });
    EXPECT_EQ(text("txt_LOA_Pingers"), "2");
    EXPECT_EQ(text("txt_LOA_Pingeds"), std::to_string(blocks));
    EXPECT_EQ(text("txt_EXP_Keys"), std::to_string(2 * blocks));
    EXPECT_EQ(text("txt_REV_Keys"), text("txt_EXP_Keys"));
    EXPECT_EQ(text("txt_PRT_Compil"), "True");
    EXPECT_EQ(text("txt_FeedBackT"), "SUPER Completed: K-MIX");
    EXPECT_TRUE(messages_.texts.empty());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              std::vector<std::string>(expected.begin() + 1, expected.end()));

    doubleClick("txt_LOA_Keys");
    doubleClick("txt_PRT_Compil");
    ASSERT_EQ(launcher_.started.size(), 2u);
    EXPECT_EQ(launcher_.started[0], "EditPad.exe \"" + (data_ / "DMP-K_KeysArray.tmp").string() + "\"");
    EXPECT_EQ(launcher_.started[1], "EditPad.exe \"" + (data_ / "Comp_RK_K-MIX.txt").string() + "\"");
    EXPECT_EQ(launcher_.styles[1], 2);  // minimized, as the dump
    const auto dump = CrLfLines(ReadFile(data_ / "DMP-K_KeysArray.tmp"));
    EXPECT_EQ(dump.size(), static_cast<std::size_t>(std::stoi(text("txt_EXP_Keys"))));
}

}  // namespace
}  // namespace parlux::test
