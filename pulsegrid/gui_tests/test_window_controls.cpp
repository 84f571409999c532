// The window's controls: names, captions and tooltips as the comparer's
// description and the suite's conventions give them, for Pulsegrid and for a
// comparer described differently.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>

#include "common/core/SiteConfig.h"
#include "pulsegrid/gui_tests/WindowFixture.h"

namespace parlux::test {
namespace {

struct Control {
    std::string name, caption, tooltip;
};

void ExpectButtons(QWidget& window, const std::vector<Control>& controls) {
    for (const auto& c : controls) {
        auto* b = window.findChild<QAbstractButton*>(QString::fromStdString(c.name));
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text().toStdString(), c.caption) << c.name;
        EXPECT_EQ(b->toolTip().toStdString(), c.tooltip) << c.name;
        EXPECT_TRUE(b->isVisible()) << c.name;
    }
}

void ExpectBoxes(QWidget& window, const std::vector<std::string>& names, const std::string& tooltip) {
    for (const auto& name : names) {
        auto* box = window.findChild<QLineEdit*>(QString::fromStdString(name));
        ASSERT_NE(box, nullptr) << name;
        EXPECT_TRUE(box->isReadOnly()) << name;
        EXPECT_EQ(box->toolTip().toStdString(), tooltip) << name;
        EXPECT_EQ(box->text().toStdString(), "") << name;
    }
}

std::string Frame(QWidget& window, const char* name) {
    auto* frame = window.findChild<QGroupBox*>(name);
    return frame ? frame->title().toStdString() : "<missing>";
}

std::vector<std::string> MenuEntries(QWidget& window, const char* menuName) {
    std::vector<std::string> entries;
    auto* menu = window.findChild<QMenu*>(menuName);
    if (!menu) return {"<missing>"};
    entries.push_back(menu->title().toStdString());
    for (QAction* a : menu->actions())
        entries.push_back(a->objectName().toStdString() + "=" + (a->isSeparator() ? "-" : a->text().toStdString()));
    return entries;
}

TEST_F(WindowTest, PulsegridWindowHasEveryControlWithItsCaptionAndTooltip) {
    EXPECT_EQ(window_->objectName(), "frm_Pulsegrid");
    EXPECT_EQ(window_->windowTitle(), "Quill's Compare Stats");
    EXPECT_EQ(Frame(*window_, "FrameA"), "Actions");
    EXPECT_EQ(Frame(*window_, "FrameD"), "Debug Utilities");
    EXPECT_EQ(Frame(*window_, "FrameV"), "View");
    EXPECT_EQ(Frame(*window_, "FrameC"), "Choose Stats");

    ExpectButtons(*window_, {
                                {"cmd_SUPER", "S U P E R", "All Actions"},
                                {"cmd_LOA_Pingers", "LOA_Pingers", "Download Stats+Load PingersArray"},
                                {"cmd_FIX_LfToCrLf", "FIX_LfToCrLf", "Fixes the Downloaded File if necessary"},
                                {"cmd_SRT_Pingers", "SRT_Pingers", "Sorts PingersArray"},
                                {"cmd_LOA_Stats", "LOA_Stats", "Loads StatsArray"},
                                {"cmd_LOA_Pingeds", "LOA_Pingeds", "Load PingedsArray"},
                                {"cmd_SRT_Pingeds", "SRT_Pingeds", "Sort PingedsArray"},
                                {"cmd_EXP_Stats", "EXP_Stats", "Expand StatsArray (Creates missing blank cells)"},
                                {"cmd_REV_Stats", "REV_Stats",
                                 "Reverse Stats (Fills the column of data used by final Sort of StatsArray)"},
                                {"cmd_SRT_Stats", "SRT_Stats", "Sorts StatsArray"},
                                {"cmd_PRT_Compil", "PRT_Compil", "Prints Compiled info to Disk"},
                                {"cmd_RESET", "RESET", "Reinitializes Arrays + Counters + Erases Dumps if any"},
                                {"cmd_SAV_Pingers", "SAV", ""},
                                {"cmd_SAV_Pingeds", "SAV", ""},
                                {"cmd_SAV_Stats", "SAV", ""},
                                {"cmd_RST_Pingers", "RST", ""},
                                {"cmd_RST_Pingeds", "RST", ""},
                                {"cmd_RST_Stats", "RST", ""},
                                // The view buttons name what they open: the View menu's entries of the same index.
                                {"cmd_VIEW_1", "Pingers.lst", "Pingers.lst"},
                                {"cmd_VIEW_2", "index.html", "index.html"},
                                {"cmd_VIEW_3", "Pingers.lst", (data_ / "Pingers.lst").string()},
                                {"cmd_VIEW_4", "index.html", (data_ / "index.html").string()},
                                {"cmd_VIEW_5", "Pingers.html", (data_ / "Pingers.html").string()},
                                {"cmd_TFR", ">>", "Copy from App to Work"},
                                {"Option1_1", "V1 Cpunk", "PGP-1"},
                                {"Option1_2", "V1 Mix", "MIX-1"},
                                {"Option1_3", "V2 Cpunk", "PGP-2"},
                                {"Option1_4", "V2 Mix", "MIX-2"},
                                {"cmd_HYPER", "H Y P", "All Stats"},
                                {"cmd_FLAGGRID", "+", "Shell Flaggrid FULL_AUTO"},
                            });
    EXPECT_EQ(window_->findChildren<QRadioButton*>().size(), 4);

    ExpectBoxes(*window_, {"txt_LOA_Pingers", "txt_LOA_Stats", "txt_LOA_Pingeds", "txt_EXP_Stats", "txt_REV_Stats"},
                "Double-Click to Create+View Dump");
    ExpectBoxes(*window_, {"txt_PRT_Compil"}, "Double-Click to View OutPutFile");
    ExpectBoxes(*window_, {"txt_DMP_Pingers", "txt_DMP_Pingeds", "txt_DMP_Stats"}, "Double-Click to View Dump");
    // Steps without a result have no box.
    for (const char* none : {"txt_FIX_LfToCrLf", "txt_SRT_Pingers", "txt_SRT_Pingeds", "txt_SRT_Stats"})
        EXPECT_EQ(window_->findChild<QLineEdit*>(none), nullptr) << none;

    for (const auto& [name, caption] : std::vector<std::pair<std::string, std::string>>{
             {"lbl_DMP_Pingers", "Pingers"}, {"lbl_DMP_Pingeds", "Pingeds"}, {"lbl_DMP_Stats", "Stats"}}) {
        auto* label = widget<QLabel>(name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(), caption);
    }
    auto* image = widget<QLabel>("Image1");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->toolTip(), "Double-Click for HYPER FULL_AUTO (+shell Flaggrid)");
    EXPECT_FALSE(image->pixmap().isNull());
    EXPECT_FALSE(window_->windowIcon().isNull());
    ExpectBoxes(*window_, {"txt_FeedBackT", "txt_FeedBackD"}, "");

    // Idle after start-up: the first type chosen, the choice open, nothing busy.
    EXPECT_TRUE(widget<QAbstractButton>("Option1_1")->isChecked());
    EXPECT_EQ(core_->statsType(), "PGP-1");
    EXPECT_TRUE(widget("FrameC")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, MenusHaveTheirEntriesAndTheProgramsOwnAppIsTickedAndDisabled) {
    const auto menuBarTitles = [&] {
        std::vector<std::string> titles;
        for (QAction* a : window_->menuBar()->actions()) titles.push_back(a->text().toStdString());
        return titles;
    }();
    EXPECT_EQ(menuBarTitles, (std::vector<std::string>{"View", "Internet", "Explorer1", "Explorer2", "Apps"}));

    EXPECT_EQ(
        MenuEntries(*window_, "MnuView"),
        (std::vector<std::string>{
            "View", "MnusView_1=Pingers.lst", "MnusView_2=index.html", "MnusView_3=" + (data_ / "Pingers.lst").string(),
            "MnusView_4=" + (data_ / "index.html").string(), "MnusView_5=" + (data_ / "Pingers.html").string()}));
    std::vector<std::string> internet = {"Internet"};
    for (std::size_t i = 0; i < site::kMirrors.size(); ++i) {
        internet.push_back("MnusInternet_" + std::to_string(i + 1) + "=" + std::string(site::kMirrors[i]));
        EXPECT_TRUE(site::kMirrors[i].ends_with("/Parlux/"));
    }
    EXPECT_EQ(MenuEntries(*window_, "MnuInternet"), internet);
    EXPECT_EQ(MenuEntries(*window_, "MnuExplore"),
              (std::vector<std::string>{"Explorer1", "MnusExplorer1_1=Me", "MnusExplorer1_2=Work"}));
    EXPECT_EQ(MenuEntries(*window_, "MnuExplorer"),
              (std::vector<std::string>{"Explorer2", "MnusExplorer2_1=Me", "MnusExplorer2_2=Work"}));
    EXPECT_EQ(
        MenuEntries(*window_, "MnuApps"),
        (std::vector<std::string>{"Apps", "MnusApps_0=Gridhub.exe", "MnusApps_1=Flaggrid.exe",
                                  "MnusApps_2=Lockgrid.exe", "MnusApps_3=Pulsegrid.exe", "MnusApps_4=Rosterbase.exe",
                                  "MnusApps_5=Rostermark.exe", "MnusApps_6=-", "MnusApps_7=Fetchprobe.exe"}));
    for (QAction* a : window_->findChild<QMenu*>("MnuApps")->actions()) {
        const bool self = a->objectName() == "MnusApps_3";
        EXPECT_EQ(a->isChecked(), self) << a->objectName().toStdString();
        EXPECT_EQ(a->isEnabled(), !self) << a->objectName().toStdString();
    }
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

    EXPECT_EQ(window.objectName(), "frm_Flaggrid");
    EXPECT_EQ(window.windowTitle(), "Quill's Compare CapStrings");
    EXPECT_EQ(Frame(window, "FrameC"), "Choose");
    ExpectButtons(window, {
                              {"cmd_SUPER", "S U P E R", ""},
                              {"cmd_LOA_Pingers", "LOA_Pingers", "Load PingersArray from Preexisting Downloaded Files"},
                              {"cmd_LOA_CapStrings", "LOA_CapStrings", "Load CapStringsArray"},
                              {"cmd_SRT_CapStrings", "SRT_CapStrings", "Sort CapStrings Array"},
                              {"cmd_PRT_Compil", "PRT_Compil", "Print Compiled Data to disk"},
                              {"cmd_RESET", "RESET", "Reinitializes Arrays and Counters + Erases Dump Files if any"},
                              {"cmd_SAV_CapStrings", "SAV", ""},
                              {"cmd_RST_CapStrings", "RST", ""},
                              {"cmd_HYPER", "H Y P", "All ?? (just here for symmetric programming purpose)"},
                          });
    ExpectBoxes(window, {"txt_LOA_Pingers", "txt_LOA_CapStrings"}, "Double-Click to Create+View Dump");
    ExpectBoxes(window, {"txt_PRT_Compil"}, "Double-Click to View Compiled Output Files");
    ExpectBoxes(window, {"txt_DMP_Pingers", "txt_DMP_Pingeds", "txt_DMP_CapStrings"}, "Double-Click to View Dump");
    EXPECT_EQ(window.findChild<QLabel*>("lbl_DMP_CapStrings")->text(), "CapStrings");
    EXPECT_EQ(window.findChild<QLabel*>("Image1")->toolTip(), "Double-Click for HYPER FULL_AUTO");
    // Nothing of Pulsegrid's own.
    EXPECT_TRUE(window.findChildren<QRadioButton*>().isEmpty());
    for (const char* absent : {"cmd_FLAGGRID", "cmd_LOA_Stats", "cmd_FIX_LfToCrLf", "txt_SRT_CapStrings"})
        EXPECT_EQ(window.findChild<QWidget*>(absent), nullptr) << absent;
    auto* self = window.findChild<QAction*>("MnusApps_1");
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->text(), "Flaggrid.exe");
    EXPECT_TRUE(self->isChecked());
    EXPECT_FALSE(self->isEnabled());
    EXPECT_TRUE(window.findChild<QAction*>("MnusApps_3")->isEnabled());

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
