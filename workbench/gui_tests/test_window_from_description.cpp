// The comparers' window built from a description alone: a comparer without
// types, with its own actions, tables and dump letter, and no follow-up
// program, driven through its own buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "common/core/DateTime.h"
#include "common/core/Feedback.h"
#include "common/core/RunLog.h"
#include "testsupport/TestSupport.h"
#include "workbench/gui/WorkbenchWindow.h"
#include "workbench/testing/RecordingComparer.h"
#include "workbench/testing/WorkbenchWindowTestSupport.h"

namespace parlux::test {
namespace {

TEST(OtherComparerWindow, IsBuiltFromItsDescriptionAlone) {
    TempDir data, program;
    FixedClock clock(MakeDateTime(2026, 12, 7, 12), MakeDateTime(2026, 12, 7, 11));
    RecordingMessages messages;
    RecordingLauncher launcher;
    FeedbackLines feedback(RunLog(program / "Samplegrid.log"), clock);
    RecordingComparerCore core(RecordingComparer(),
                               WorkbenchEnv{data.path(), program.path(), &feedback, &messages, &clock, &launcher});
    WorkbenchWindow window(core);
    WatchingDisplay display(window);
    feedback.setDisplay(&display);
    window.setViewCaptions();
    window.show();

    // Nothing of Pulsegrid's own: no type choice, no follow-up program, no
    // box for a step without a result.
    EXPECT_TRUE(window.findChildren<QRadioButton*>().isEmpty());
    for (const char* absent : {"cmd_FLAGGRID", "cmd_LOA_Stats", "cmd_FIX_LfToCrLf", "txt_SRT_Samples"})
        EXPECT_EQ(window.findChild<QWidget*>(absent), nullptr) << absent;
    EXPECT_EQ(window.findChild<QAbstractButton*>("cmd_HYPER")->toolTip(), "One pass: there are no types");

    // Its buttons run its own steps and its boxes show their results.
    QTest::mouseClick(window.findChild<QAbstractButton*>("cmd_LOA_Samples"), Qt::LeftButton);
    EXPECT_EQ(core.ran, std::vector<std::size_t>{1});
    EXPECT_EQ(window.findChild<QLineEdit*>("txt_LOA_Samples")->text(), "2");
    EXPECT_EQ(window.findChild<QLineEdit*>("txt_FeedBackT")->text(), "LOA_Samples Completed:  - 2");
    // Its result boxes save and open its own dumps; the output box opens its report.
    QTest::mouseDClick(window.findChild<QLineEdit*>("txt_LOA_Samples"), Qt::LeftButton);
    QTest::mouseDClick(window.findChild<QLineEdit*>("txt_PRT_Compil"), Qt::LeftButton);
    ASSERT_EQ(launcher.started.size(), 2u);
    EXPECT_EQ(launcher.started[0], "EditPad.exe \"" + (data / "DMP-X_SamplesArray.tmp").string() + "\"");
    EXPECT_EQ(launcher.started[1], "EditPad.exe \"" + (data / "Comp_XX_0000.txt").string() + "\"");

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
