// The window's controls as a user finds them after start-up, for Pulsegrid
// (its golden file), and a comparer described differently driven through its
// own buttons.
#include <QRadioButton>

#include "pulsegrid/gui_tests/WindowFixture.h"

namespace parlux::test {
namespace {

// Names, captions, tooltips and states of every widget and menu entry;
// PARLUX_UPDATE_GOLDEN=1 rewrites the file after a deliberate change.
TEST_F(WindowTest, WidgetTreeMatchesItsGoldenFile) {
    expectWidgetsGolden("pulsegrid/gui_tests/golden/frm_Pulsegrid.txt");
    // Idle after start-up: the first type chosen, nothing busy.
    EXPECT_EQ(core_->statsType(), "PGP-1");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A comparer without types, with its own actions, tables and dump letter, and
// no follow-up program: the window follows the description alone.
class CapabilitiesLikeCore final : public WorkbenchCore {
public:
    using WorkbenchCore::WorkbenchCore;
    std::vector<std::string> outputPages() const override { return {"Comp_RC_0000.txt"}; }
    std::vector<std::size_t> ran;

protected:
    long runProcedure(std::size_t index) override {
        ran.push_back(index);
        return static_cast<long>(index) + 1;
    }
};

WorkbenchDescription CapabilitiesLike() {
    WorkbenchDescription d;
    d.program = "Flaggrid";
    d.caption = "Quill's Compare CapStrings";
    d.dumpLetter = 'C';
    d.tables = {TableDef{"Pingers", 5}, TableDef{"Pingeds", 1}, TableDef{"CapStrings", 5}};
    d.choiceCaption = "Choose";
    d.actions = {
        {"LOA_Pingers", "Load PingersArray from Preexisting Downloaded Files", ResultKind::Count, -1, true,
         kPingersTable},
        {"LOA_CapStrings", "Load CapStringsArray", ResultKind::Count, -1, true, kMainTable},
        {"SRT_CapStrings", "Sort CapStrings Array", ResultKind::None},
        {"PRT_Compil", "Print Compiled Data to disk", ResultKind::Bool},
    };
    d.resetTooltip = "Reinitializes Arrays and Counters + Erases Dump Files if any";
    d.hyperTooltip = "All ?? (just here for symmetric programming purpose)";
    d.imageTooltip = "Double-Click for HYPER FULL_AUTO";
    d.resultBoxTooltip = "Double-Click to Create+View Dump";
    d.prtBoxTooltip = "Double-Click to View Compiled Output Files";
    return d;
}

TEST(OtherComparerWindow, IsBuiltFromItsDescriptionAlone) {
    TempDir data, program;
    FixedClock clock(MakeDateTime(2026, 12, 7, 12), MakeDateTime(2026, 12, 7, 11));
    RecordingMessages messages;
    RecordingLauncher launcher;
    FeedbackLines feedback(RunLog(program / "Flaggrid.log"), clock);
    CapabilitiesLikeCore core(CapabilitiesLike(),
                              WorkbenchEnv{data.path(), program.path(), &feedback, &messages, &clock, &launcher});
    WorkbenchWindow window(core);
    WatchingDisplay display(window);
    feedback.setDisplay(&display);
    window.setViewCaptions();
    window.show();

    // Nothing of Pulsegrid's own: no type choice, no follow-up program, no
    // box for a step without a result.
    EXPECT_TRUE(window.findChildren<QRadioButton*>().isEmpty());
    for (const char* absent : {"cmd_FLAGGRID", "cmd_LOA_Stats", "cmd_FIX_LfToCrLf", "txt_SRT_CapStrings"})
        EXPECT_EQ(window.findChild<QWidget*>(absent), nullptr) << absent;
    EXPECT_EQ(window.findChild<QAbstractButton*>("cmd_HYPER")->toolTip(),
              "All ?? (just here for symmetric programming purpose)");

    // Its buttons run its own steps and its boxes show their results.
    QTest::mouseClick(window.findChild<QAbstractButton*>("cmd_LOA_CapStrings"), Qt::LeftButton);
    EXPECT_EQ(core.ran, std::vector<std::size_t>{1});
    EXPECT_EQ(window.findChild<QLineEdit*>("txt_LOA_CapStrings")->text(), "2");
    EXPECT_EQ(window.findChild<QLineEdit*>("txt_FeedBackT")->text(), "LOA_CapStrings Completed:  - 2");
    // Its result boxes save and open its own dumps; the output box opens its report.
    QTest::mouseDClick(window.findChild<QLineEdit*>("txt_LOA_CapStrings"), Qt::LeftButton);
    QTest::mouseDClick(window.findChild<QLineEdit*>("txt_PRT_Compil"), Qt::LeftButton);
    ASSERT_EQ(launcher.started.size(), 2u);
    EXPECT_EQ(launcher.started[0], "EditPad.exe \"" + (data / "DMP-C_CapStringsArray.tmp").string() + "\"");
    EXPECT_EQ(launcher.started[1], "EditPad.exe \"" + (data / "Comp_RC_0000.txt").string() + "\"");

    // HYPER without types is SUPER once, then RESET, and starts nothing.
    core.ran.clear();
    QTest::mouseClick(window.findChild<QAbstractButton*>("cmd_HYPER"), Qt::LeftButton);
    EXPECT_EQ(core.ran, (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(launcher.started.size(), 2u);
    EXPECT_EQ(window.findChild<QLineEdit*>("txt_PRT_Compil")->text(), "");
    feedback.setDisplay(nullptr);
}

}  // namespace
}  // namespace parlux::test
