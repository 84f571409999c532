// Gridhub's window over a scratch data folder and a scratch program folder of
// stand-in programs: what each program receives, browsing with what opens,
// the view buttons, the copy button and the unattended run, in the window
// and as the program itself.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <memory>
#include <regex>

#include "common/core/SiteConfig.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/ProgramStart.h"
#include "gridhub/GridhubWindow.h"
#include "gridhub/gui_tests/StubPrograms.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

class GridhubTest : public ::testing::Test {
protected:
    GridhubTest() {
        for (const char* name : {"Pulsegrid", "Flaggrid", "Lockgrid", "Rosterbase", "Rostermark"})
            WriteStubProgram(program_.path(), name);
    }

    // The window as the program builds it; editors are recorded, the suite's
    // programs really started.
    std::unique_ptr<GridhubWindow> makeWindow() {
        return std::make_unique<GridhubWindow>(
            SuiteLinks{[this](const QString& target) { opened_.push_back(target.toStdString()); },
                       [this](const std::string& commandLine, short style) {
                           started_.push_back(commandLine);
                           styles_.push_back(style);
                           return commandLine.starts_with("EditPad.exe") || StartDetached(commandLine, style);
                       },
                       [this]() -> MessageSink& { return messages_; }, program_.path(), data_.path()});
    }
    void openWindow() {
        window_ = makeWindow();
        ASSERT_TRUE(window_->start(""));
    }

    template <class T = QWidget>
    T* widget(const std::string& name) {
        return FindWidget<T>(*window_, name);
    }
    void click(const std::string& name) { Click(*window_, name); }
    void doubleClick(const std::string& name) { DoubleClick(*window_, name); }
    QAction* entry(const std::string& name) { return window_->findChild<QAction*>(QString::fromStdString(name)); }
    // The user picks entry index of a list.
    void pick(const std::string& combo, int index) {
        auto* box = widget<QComboBox>(combo);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    Strings items(const std::string& combo) {
        Strings list;
        auto* box = widget<QComboBox>(combo);
        for (int i = 0; i < box->count(); ++i) list.push_back(box->itemText(i).toStdString());
        return list;
    }
    std::string tooltip(const std::string& name) { return widget(name)->toolTip().toStdString(); }
    // What the stand-ins received, once count of them have run.
    Strings started(std::size_t count) { return StartedPrograms(program_.path(), count); }

    TempDir data_, program_;
    RecordingMessages messages_;
    Strings opened_, started_;
    std::vector<short> styles_;
    std::unique_ptr<GridhubWindow> window_;
};

// Names, captions, tooltips and states of every widget and menu entry at
// start: the launch table with every program there, nothing chosen.
TEST_F(GridhubTest, WidgetTreeMatchesItsGoldenFile) {
    openWindow();
    ExpectWidgetsGolden(*window_, SourceDir() / "gridhub/gui_tests/golden/frm_Gridhub.txt",
                        {{data_.path().string(), "<data>"},
                         {program_.path().string(), "<program>"},
                         {data_.path().parent_path().string(), "<data>/.."}});
}

TEST_F(GridhubTest, EachProgramGetsFullAutoOnlyWhenItsBoxIsTicked) {
    openWindow();
    doubleClick("Picture1_0");  // ticked
    doubleClick("Picture1_3");  // grey
    click("Check1_3");          // grey -> ticked
    EXPECT_EQ(widget<QCheckBox>("Check1_3")->checkState(), Qt::Checked);
    doubleClick("Picture1_3");
    click("Check1_1");  // ticked -> clear
    EXPECT_EQ(widget<QCheckBox>("Check1_1")->checkState(), Qt::Unchecked);
    doubleClick("Picture1_1");
    click("Check1_1");  // clear -> ticked
    doubleClick("Picture1_1");

    EXPECT_EQ(started_, (Strings{Quoted(program_ / "Pulsegrid.exe") + " FULL_AUTO", Quoted(program_ / "Rosterbase.exe"),
                                 Quoted(program_ / "Rosterbase.exe") + " FULL_AUTO", Quoted(program_ / "Flaggrid.exe"),
                                 Quoted(program_ / "Flaggrid.exe") + " FULL_AUTO"}));
    EXPECT_EQ(started(5), (Strings{"Flaggrid:", "Flaggrid:FULL_AUTO", "Pulsegrid:FULL_AUTO",
                                   "Rosterbase:", "Rosterbase:FULL_AUTO"}));
    for (short style : styles_) EXPECT_EQ(style, kShowNormal);
    EXPECT_TRUE(messages_.texts.empty());

    // HYPER: Pulsegrid, Lockgrid, Rosterbase, in this order, each as its box says.
    started_.clear();
    fs::remove(program_ / "started.log");
    click("cmd_HYPER");
    EXPECT_EQ(started_, (Strings{Quoted(program_ / "Pulsegrid.exe") + " FULL_AUTO",
                                 Quoted(program_ / "Lockgrid.exe") + " FULL_AUTO",
                                 Quoted(program_ / "Rosterbase.exe") + " FULL_AUTO"}));
    EXPECT_EQ(started(3), (Strings{"Lockgrid:FULL_AUTO", "Pulsegrid:FULL_AUTO", "Rosterbase:FULL_AUTO"}));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(GridhubTest, AMissingProgramHasNoIconAndIsNamedWhenAskedFor) {
    fs::remove(program_ / "Lockgrid");
    openWindow();
    EXPECT_TRUE(widget<QLabel>("Picture1_2")->pixmap().isNull());
    EXPECT_FALSE(widget<QLabel>("Picture1_0")->pixmap().isNull());

    doubleClick("Picture1_2");
    entry("MnusApps_2")->trigger();
    const std::string missing = (program_ / "Lockgrid").string() + " Not found";
    EXPECT_EQ(messages_.texts, (Strings{missing, missing}));
    // HYPER starts the others all the same.
    click("cmd_HYPER");
    EXPECT_EQ(started(2), (Strings{"Pulsegrid:FULL_AUTO", "Rosterbase:"}));
    EXPECT_EQ(messages_.texts.size(), 3u);
    EXPECT_TRUE(window_->failed());
}

TEST_F(GridhubTest, FullAutoStartsTheRelevantProgramsMinimisedWithoutShowingTheWindow) {
    for (const char* other : {"full_auto", "FULL_AUTO now", " FULL_AUTO"}) {
        auto window = makeWindow();
        EXPECT_TRUE(window->start(other)) << other;
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_TRUE(started_.empty());

    auto window = makeWindow();
    bool shown = false;
    struct ShowSpy : QObject {
        bool& shown;
        explicit ShowSpy(bool& s) : shown(s) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show) shown = true;
            return false;
        }
    } spy(shown);
    window->installEventFilter(&spy);
    WriteFile(data_ / "Pingers.lst", "");
    WriteFile(data_ / "PingersBad.lst", "");
    EXPECT_FALSE(window->start("FULL_AUTO"));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(started(3), (Strings{"Lockgrid:FULL_AUTO", "Pulsegrid:FULL_AUTO", "Rosterbase:"}));
    EXPECT_EQ(styles_, (std::vector<short>{kShowMinimized, kShowMinimized, kShowMinimized}));
    EXPECT_FALSE(window->failed());
}

TEST_F(GridhubTest, BrowsingListsFilesAndOpensThemOnlyInTheChosenStyle) {
    for (const char* name : {"beta_rlist.shtml", "alpha_rlist.shtml", "alpha_mlist.shtml", "Comp_RC_0000.txt",
                             "Comp_DS_PGP-1.html", "Pingers.lst"})
        WriteFile(data_ / name, "x");
    openWindow();
    const fs::path alpha = data_ / "alpha_rlist.shtml";
    const fs::path beta = data_ / "beta_rlist.shtml";

    click("Option1_1");  // DownLoads: the types, the first one's files, the first file chosen
    EXPECT_EQ(items("Combo1"), (Strings{"PGP-1", "PGP-2", "MIX-1", "MIX-2", "K-RSA", "K-DSS", "K-TY2", "K-MIX"}));
    EXPECT_EQ(items("Combo2"), (Strings{"alpha_rlist.shtml", "beta_rlist.shtml"}));
    EXPECT_EQ(widget<QComboBox>("Combo2")->currentIndex(), 0);
    EXPECT_TRUE(tooltip("Combo2").ends_with(" | 1")) << tooltip("Combo2");
    EXPECT_EQ(widget<QLabel>("lbl_FileInfo")->text().toStdString(), tooltip("Combo2"));
    EXPECT_TRUE(started_.empty() && opened_.empty());

    click("Option2_1");  // EditPad: the chosen file opens at once, and every file chosen after it
    pick("Combo2", 1);
    EXPECT_EQ(started_, (Strings{"EditPad.exe " + Quoted(alpha), "EditPad.exe " + Quoted(beta)}));
    EXPECT_EQ(styles_, (std::vector<short>{kShowMaximized, kShowMaximized}));
    click("Option2_2");  // ShellExecute
    EXPECT_EQ(opened_, Strings{beta.string()});

    // Another type: back to no style, nothing opened; a type without files: an empty list.
    started_.clear();
    opened_.clear();
    pick("Combo1", 2);
    EXPECT_TRUE(widget<QRadioButton>("Option2_0")->isChecked());
    EXPECT_EQ(items("Combo2"), Strings{"alpha_mlist.shtml"});
    pick("Combo1", 7);
    EXPECT_TRUE(items("Combo2").empty());
    EXPECT_EQ(tooltip("Combo2"), "");
    click("Option2_1");
    click("Option2_2");
    EXPECT_TRUE(started_.empty() && opened_.empty());

    // Results: the comparison pages, Flaggrid's report among them.
    click("Option1_2");
    EXPECT_TRUE(widget<QRadioButton>("Option2_0")->isChecked());
    EXPECT_EQ(items("Combo1"), Strings{"Results"});
    EXPECT_EQ(items("Combo2"), (Strings{"Comp_DS_PGP-1.html", "Comp_RC_0000.txt"}));
    // A file gone since the list was filled: no tooltip, still handed over.
    fs::remove(data_ / "Comp_RC_0000.txt");
    click("Option2_2");
    pick("Combo2", 1);
    EXPECT_EQ(tooltip("Combo2"), "");
    EXPECT_EQ(opened_, (Strings{(data_ / "Comp_DS_PGP-1.html").string(), (data_ / "Comp_RC_0000.txt").string()}));

    click("Option1_0");  // None: both lists empty
    EXPECT_TRUE(items("Combo1").empty() && items("Combo2").empty());
    EXPECT_TRUE(started_.empty());
}

TEST_F(GridhubTest, ViewButtonsSearchesAndTheCopyButton) {
    const std::vector<fs::path> files = {
        program_ / "PingersBad.lst", program_ / "Pingers.lst", program_ / "index.html",  program_ / "Stats.fnd",
        program_ / "Keys.fnd",       program_ / "Results.fnd", data_ / "PingersBad.lst", data_ / "Pingers.lst",
        data_ / "index.html",        data_ / "Pingers.html"};
    for (const auto& file : files) WriteFile(file, "x");
    openWindow();
    for (int i = 1; i <= 9; ++i) click("cmd_VIEW_" + std::to_string(i));
    for (int i = 0; i < 3; ++i) doubleClick("Picture2_" + std::to_string(i));
    entry("MnusView_Parlux_conf")->trigger();       // Parlux.conf, written first with every key commented out
    entry("MnusView_Trend_MIX-2_html")->trigger();  // the history's pages: a trend page and the changes report
    entry("MnusView_Changes_html")->trigger();
    EXPECT_EQ(opened_, (Strings{"PingersBad.lst", "Pingers.lst", "index.html", (data_ / "PingersBad.lst").string(),
                                (data_ / "Pingers.lst").string(), (data_ / "index.html").string(),
                                (data_ / "Pingers.html").string(), (data_ / "index.html").string(),
                                (data_ / "Pingers.html").string(), "Stats.fnd", "Keys.fnd", "Results.fnd",
                                (data_ / "Parlux.conf").string(), (data_ / "Trend_MIX-2.html").string(),
                                (data_ / "Changes.html").string()}));
    EXPECT_EQ(site::LoadSiteConfig(data_.path()).site, site::kDefaultSite);
    EXPECT_NE(ReadFile(data_ / "Parlux.conf").find("# site = "), std::string::npos);

    EXPECT_TRUE(messages_.texts.empty());

    // Files that are not there open nothing: a box names each.
    for (const auto& file : files) fs::remove(file);
    opened_.clear();
    click("cmd_VIEW_1");
    click("cmd_VIEW_7");
    PressEnter(*window_, "Picture2_0");
    entry("MnusStats_1")->trigger();
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(messages_.texts, (Strings{(program_ / "PingersBad.lst").string() + " Not found",
                                        (data_ / "Pingers.html").string() + " Not found",
                                        (program_ / "Stats.fnd").string() + " Not found",
                                        PlainCaption(entry("MnusStats_1")->text()).toStdString() + " Not found"}));

    // Copying with none of the three there: one box names them all.
    messages_.texts.clear();
    click("cmd_TFR");
    EXPECT_EQ(messages_.texts,
              Strings{(program_ / "PingersBad.lst").string() + " Not found\n" + (program_ / "Pingers.lst").string() +
                      " Not found\n" + (program_ / "index.html").string() + " Not found"});
    messages_.texts.clear();

    // The three hand-kept files, over the old ones; a missing one is named and skipped.
    WriteFile(program_ / "PingersBad.lst", "bad\r\n");
    WriteFile(program_ / "index.html", "<html></html>");
    WriteFile(data_ / "index.html", "old");
    click("cmd_TFR");
    EXPECT_EQ(ReadFile(data_ / "PingersBad.lst"), "bad\r\n");
    EXPECT_EQ(ReadFile(data_ / "index.html"), "<html></html>");
    EXPECT_FALSE(fs::exists(data_ / "Pingers.lst"));
    // The data folder's own index.html is kept, under a name of the time, and named.
    const auto keptCopies = [this] {
        std::vector<fs::path> kept;
        for (const auto& entry : fs::directory_iterator(data_.path()))
            if (entry.path().filename().string().starts_with("index.html.before-")) kept.push_back(entry.path());
        return kept;
    };
    const std::vector<fs::path> kept = keptCopies();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(std::regex_match(kept[0].filename().string(), std::regex(R"(index\.html\.before-\d{8}-\d{6})")));
    EXPECT_EQ(ReadFile(kept[0]), "old");
    const Strings notFound{(program_ / "Pingers.lst").string() + " Not found"};
    EXPECT_EQ(messages_.texts, Strings{notFound[0] + "\n" + (data_ / "index.html").string() + " differed from " +
                                       (program_ / "index.html").string() + ": kept as " + kept[0].string()});
    // Copied again: the same files, nothing more kept.
    messages_.texts.clear();
    click("cmd_TFR");
    EXPECT_EQ(messages_.texts, notFound);
    EXPECT_EQ(keptCopies(), kept);
}

// The keyboard alone: every access key reaches its control (the launch
// boxes, too narrow to show their caption, have none), Enter on a picture
// box does its double-click, and every Tab stop shows its focus.
TEST_F(GridhubTest, EveryAccessKeyAndEnterReachesItsAction) {
    WriteFile(program_ / "Keys.fnd", "x");
    openWindow();
    Activate(*window_);
    EXPECT_EQ(QApplication::focusWidget(), widget("Option1_0"));  // the first focus starts nothing
    const Strings pressed = PressEveryAccessKey(*window_);
    Strings without;
    for (auto* button : window_->findChildren<QAbstractButton*>()) {
        const std::string name = button->objectName().toStdString();
        if (name.starts_with("qt_")) continue;  // the menu bar's own
        if (std::none_of(pressed.begin(), pressed.end(),
                         [&name](const std::string& p) { return p.starts_with(name + " "); }))
            without.push_back(name);
    }
    std::sort(without.begin(), without.end());
    // The second "None" shares its caption with the first: which would a key press?
    EXPECT_EQ(without, (Strings{"Check1_0", "Check1_1", "Check1_2", "Check1_3", "Check1_4", "Option2_0", "cmd_TFR"}));
    EXPECT_EQ(TabStopsWithoutVisibleFocus(*window_), Strings{});

    Activate(*window_);
    started_.clear();
    opened_.clear();
    fs::remove(program_ / "started.log");
    PressEnter(*window_, "Picture1_0");  // FULL_AUTO: asked first, and No starts nothing
    PressEnter(*window_, "Image1");
    EXPECT_EQ(messages_.questions.size(), 2u);
    EXPECT_TRUE(started_.empty());
    messages_.answer = true;
    PressEnter(*window_, "Check1_2");  // ticked -> clear, as Space does
    EXPECT_EQ(widget<QCheckBox>("Check1_2")->checkState(), Qt::Unchecked);
    PressEnter(*window_, "Picture1_2");
    PressEnter(*window_, "Picture2_1");
    EXPECT_EQ(started_, Strings{Quoted(program_ / "Lockgrid.exe")});
    EXPECT_EQ(opened_, Strings{"Keys.fnd"});
    PressEnter(*window_, "Image1");  // HYPER, then closed
    EXPECT_EQ(started_.size(), 4u);
    EXPECT_FALSE(window_->isVisible());
}

// With a view style ticked, only an explicit choice in Combo2 opens a file:
// not the wheel, not moving through the names with the keys.
TEST_F(GridhubTest, OnlyAnExplicitChoiceOfAFileOpensIt) {
    for (const char* name : {"alpha_rlist.shtml", "beta_rlist.shtml", "gamma_rlist.shtml"})
        WriteFile(data_ / name, "x");
    openWindow();
    click("Option1_1");
    click("Option2_1");  // EditPad: the chosen file opens at once
    auto* files = widget<QComboBox>("Combo2");
    files->setFocus();
    const auto wheel = [files](int notches) {
        QWheelEvent event(QPointF(5, 5), files->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(files, &event);
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        int opens;  // the entry started in the editor, -1 for none
    };
    const std::vector<Case> cases = {
        {"four wheel notches", [&] { wheel(4); }, -1},
        {"arrow down", [&] { QTest::keyClick(files, Qt::Key_Down); }, -1},
        {"end key", [&] { QTest::keyClick(files, Qt::Key_End); }, -1},
        {"arrow up", [&] { QTest::keyClick(files, Qt::Key_Up); }, -1},
        {"Enter on the name shown", [&] { QTest::keyClick(files, Qt::Key_Return); }, 1},
        {"a click in the open list", [&] { pick("Combo2", 2); }, 2},
    };
    for (const Case& c : cases) {
        started_.clear();
        c.act();
        Strings expected;
        if (c.opens >= 0) expected.push_back("EditPad.exe " + Quoted(data_ / files->itemText(c.opens).toStdString()));
        EXPECT_EQ(started_, expected) << c.what;
    }
    // The tooltip follows the name shown, opened or not.
    QTest::keyClick(files, Qt::Key_Home);
    EXPECT_EQ(files->currentIndex(), 0);
    EXPECT_TRUE(tooltip("Combo2").ends_with(" | 1")) << tooltip("Combo2");
}

// The program itself, copied into a scratch program folder beside stand-ins
// for the programs it starts, run headless.
class GridhubProgram : public ProgramTest {
protected:
    GridhubProgram() : ProgramTest("Gridhub") {
        fs::copy_file(BinDir() / "Gridhub", program_ / "Gridhub");
        useBinary(program_ / "Gridhub");
    }
    TempDir program_;
};

TEST_F(GridhubProgram, FullAutoStartsTheRelevantProgramsAndEnds) {
    for (const char* name : {"Pulsegrid", "Lockgrid", "Rosterbase", "Flaggrid"})
        WriteStubProgram(program_.path(), name);
    // Without a list the programs would each fail unseen: nothing is started.
    auto missing = start({"FULL_AUTO"});
    ASSERT_TRUE(missing->waitForFinished(30000));
    EXPECT_EQ(missing->exitCode(), 1);
    EXPECT_EQ(missing->readAllStandardError().toStdString(),
              "Gridhub: " + (data_ / "Pingers.lst").string() + " Not found: nothing started\n");
    EXPECT_TRUE(StartedPrograms(program_.path(), 0).empty());
    WriteFile(data_ / "Pingers.lst", "");
    WriteFile(data_ / "PingersBad.lst", "");

    auto process = start({"FULL_AUTO"});
    ASSERT_TRUE(process->waitForFinished(30000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_EQ(StartedPrograms(program_.path(), 3),
              (std::vector<std::string>{"Lockgrid:FULL_AUTO", "Pulsegrid:FULL_AUTO", "Rosterbase:"}));
    EXPECT_EQ(process->readAllStandardError().toStdString(), "");
}

}  // namespace
}  // namespace parlux::test
