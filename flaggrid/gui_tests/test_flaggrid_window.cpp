// Flaggrid's window on the offscreen platform: the controls its description
// gives it, and the pipeline driven through the real buttons and boxes.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "flaggrid/tests/FlaggridFixture.h"
#include "workbench/gui/WorkbenchWindow.h"
#include "workbench/testing/WorkbenchWindowTestSupport.h"

namespace parlux::test {
namespace {

const std::vector<std::string> kResetBoxes = {
    "txt_DMP_Pingers",    "txt_DMP_Pingeds",    "txt_DMP_CapStrings", "txt_LOA_Pingers", "txt_LOA_Pingeds",
    "txt_LOA_CapStrings", "txt_EXP_CapStrings", "txt_REV_CapStrings", "txt_PRT_Compil",
};

class FlaggridWindowTest : public WorkbenchWindowTest<CapStringsWorkbench> {
protected:
    FlaggridWindowTest()
        // Local ten o'clock at GMT+2, as in the core tests: the same report.
        : WorkbenchWindowTest(MakeDateTime(2024, 3, 5, 10, 0, 0), MakeDateTime(2024, 3, 5, 8, 0, 0), "Flaggrid.log") {
        WriteTwoByThree(data_.path());
        openWindow();
    }

    std::vector<std::string> tops() const {
        std::vector<std::string> out;
        for (const auto& record : CrLfLines(ReadFile(program_ / "Flaggrid.log"))) {
            const auto open = record.find(",\"");
            const auto close = record.find("\",\"", open + 2);
            out.push_back(record.substr(open + 2, close - open - 2));
        }
        return out;
    }
    std::string quoted(const std::string& name) const { return "\"" + (data_ / name).string() + "\""; }
};

// Names, captions, tooltips and states of every widget and menu entry:
// no type choice, its own Apps entry ticked and disabled.
TEST_F(FlaggridWindowTest, WidgetTreeMatchesItsGoldenFile) {
    expectWidgetsGolden("flaggrid/gui_tests/golden/frm_Flaggrid.txt");
}

TEST_F(FlaggridWindowTest, SuperButtonRunsTheWholeChainIntoTheBoxes) {
    click("cmd_SUPER");
    EXPECT_EQ(text("txt_LOA_Pingers"), "2");
    EXPECT_EQ(text("txt_LOA_CapStrings"), "4");
    EXPECT_EQ(text("txt_LOA_Pingeds"), "3");
    EXPECT_EQ(text("txt_EXP_CapStrings"), "6");
    EXPECT_EQ(text("txt_REV_CapStrings"), "6");
    EXPECT_EQ(text("txt_PRT_Compil"), "True");
    EXPECT_EQ(text("txt_FeedBackT"), "SUPER Completed: ");
    EXPECT_TRUE(messages_.texts.empty());
    EXPECT_TRUE(widget("FrameC")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const std::vector<std::string> expected = {
        "SUPER in Progress: ",
        "RESET in Progress: ",
        "RESET Completed: ",
        "LOA_Pingers in Progress: ",
        "LOA_Pingers Completed:  - 2",
        "SRT_Pingers in Progress: ",
        "SRT_Pingers Completed: ",
        "LOA_CapStrings in Progress: ",
        "LOA_CapStrings Completed:  - 4",
        "LOA_Pingeds in Progress: ",
        "LOA_Pingeds Completed:  - 3",
        "SRT_Pingeds in Progress: ",
        "SRT_Pingeds Completed: ",
        "EXP_CapStrings in Progress: ",
        "EXP_CapStrings Completed:  - 6",
        "REV_CapStrings in Progress: ",
        "REV_CapStrings Completed:  - 6",
        "SRT_CapStrings in Progress: ",
        "SRT_CapStrings Completed: ",
        "PRT_Compil in Progress: ",
        "PRT_Compil Completed:  - True",
        "SUPER Completed: ",
    };
    EXPECT_EQ(tops(), expected);
    // The same report as the core's run over the same pages.
    EXPECT_EQ(ReadFile(data_ / "Comp_RC_0000.txt"), ReadFile(SourceDir() / "flaggrid/tests/golden/grid_2x3.txt"));
}

TEST_F(FlaggridWindowTest, BoxesOpenDumpsAndTheReportAndResetEmptiesTheNine) {
    click("cmd_SUPER");
    doubleClick("txt_LOA_Pingers");
    click("cmd_SAV_CapStrings");
    doubleClick("txt_PRT_Compil");
    EXPECT_EQ(text("txt_DMP_Pingers"), "2");
    EXPECT_EQ(text("txt_DMP_CapStrings"), "6");
    ASSERT_EQ(launcher_.started.size(), 2u);
    EXPECT_EQ(launcher_.started[0], "EditPad.exe " + quoted("DMP-C_PingersArray.tmp"));
    EXPECT_EQ(launcher_.started[1], "EditPad.exe " + quoted("Comp_RC_0000.txt"));
    // The report opens as the dump does.
    EXPECT_EQ(launcher_.styles[0], launcher_.styles[1]);
    EXPECT_TRUE(std::filesystem::exists(data_ / "DMP-C_CapStringsArray.tmp"));

    click("cmd_RESET");
    for (const auto& box : kResetBoxes) EXPECT_EQ(text(box), "") << box;
    for (const char* dump : {"DMP-C_PingersArray.tmp", "DMP-C_CapStringsArray.tmp"})
        EXPECT_FALSE(std::filesystem::exists(data_ / dump)) << dump;

    // After RESET the report step has nothing to print.
    click("cmd_PRT_Compil");
    EXPECT_EQ(text("txt_PRT_Compil"), "False");
    EXPECT_EQ(messages_.texts, std::vector<std::string>{"9\r\nSubscript out of range\r\nArray not Initialized"});
}

TEST_F(FlaggridWindowTest, ImageDoubleClickRunsHyperAndClosesTheWindow) {
    doubleClick("Image1");
    EXPECT_FALSE(window_->isVisible());
    const auto t = tops();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t.front(), "HYPER in Progress: ");
    EXPECT_EQ(t[t.size() - 3], "RESET in Progress: ");
    EXPECT_EQ(t.back(), "HYPER Completed: ");
    EXPECT_NE(std::find(t.begin(), t.end(), "PRT_Compil Completed:  - True"), t.end());
    EXPECT_TRUE(std::filesystem::exists(data_ / "Comp_RC_0000.txt"));
    // Flaggrid starts nothing after its run.
    EXPECT_TRUE(launcher_.started.empty());
    for (const auto& box : kResetBoxes) EXPECT_EQ(text(box), "") << box;
}

}  // namespace
}  // namespace parlux::test
