// Fetchprobe against a loopback server, and Sandtest's two routines side by
// side, driven through their widgets.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "common/desktop/CommandLine.h"
#include "common/desktop/ProgramStart.h"
#include "probes/FetchprobeWindow.h"
#include "probes/SandtestWindow.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class FetchprobeTest : public ::testing::Test {
protected:
    FetchprobeTest()
        : window_(SuiteLinks{[this](const QString& target) { opened_.push_back(target.toStdString()); },
                             [this](const std::string& commandLine, short style) {
                                 started_.push_back(commandLine);
                                 EXPECT_EQ(style, kShowNormal);
                                 return true;
                             },
                             [this]() -> MessageSink& { return messages_; },
                             program_.path(),
                             {}}) {
        server_.serve("/stats/type2.list", "remailer key list\n", 200, "text/plain");
        server_.serve("/empty", "");
        // A pinger that does not answer while the test runs.
        server_.handle("/held", [this](const httplib::Request&, httplib::Response& res) {
            for (int i = 0; i < 2000 && !heldFree_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            res.set_content("late", "text/plain");
        });
        server_.start();
        window_.show();
    }
    ~FetchprobeTest() override { heldFree_ = true; }
    void set(const std::string& box, const std::string& text) {
        FindWidget<QLineEdit>(window_, box)->setText(QString::fromStdString(text));
    }
    void click(const std::string& name) { Click(window_, name); }

    TempDir program_, work_;
    std::atomic<bool> heldFree_{false};
    LoopbackServer server_;
    RecordingMessages messages_;
    Strings opened_, started_;
    FetchprobeWindow window_;
};

// Names, captions, tooltips and states of every widget and menu entry as the
// window opens.
TEST_F(FetchprobeTest, WidgetTreeMatchesItsGoldenFile) {
    ExpectWidgetsGolden(window_, SourceDir() / "probes/gui_tests/golden/frm_Fetchprobe.txt",
                        {{program_.path().string(), "<program>"}});
}

TEST_F(FetchprobeTest, GoActionsFetchIntoTheWorkFileAndRepairIt) {
    const fs::path work = work_ / "www.tmp";
    set("txt_WorkFile", work.string());

    set("txt_URL", server_.url("/stats/type2.list"));
    click("cmd_GO_S");
    EXPECT_EQ(ReadFile(work), "remailer key list\n\r\n");
    click("cmd_GO_F");
    EXPECT_EQ(ReadFile(work), "remailer key list\n");

    // Nothing comes: the string routine still leaves its CR LF; the file
    // routine keeps the copy it had.
    set("txt_URL", "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/stats/type2.list");
    click("cmd_GO_F");
    EXPECT_EQ(ReadFile(work), "remailer key list\n");
    messages_.texts.clear();
    click("cmd_GO_S");
    EXPECT_EQ(ReadFile(work), "\r\n");

    // The repair: a long LF-only file gets CR LF; an empty one is named.
    std::string lines;
    for (int i = 0; i < 10; ++i) lines += std::string(29, 'a' + i) + "\n";
    WriteFile(work, lines);
    click("cmd_GO_Plim");
    std::string repaired;
    for (int i = 0; i < 10; ++i) repaired += std::string(29, 'a' + i) + "\r\n";
    EXPECT_EQ(ReadFile(work), repaired);
    WriteFile(work, "");
    messages_.texts.clear();
    click("cmd_GO_Plim");
    EXPECT_EQ(messages_.texts, Strings{work.string()});

    // DEL, twice: the second finds nothing and says nothing.
    click("cmd_DEL");
    EXPECT_FALSE(fs::exists(work));
    click("cmd_DEL");
    EXPECT_EQ(messages_.texts.size(), 1u);
}

// GO_F writes nothing unless a whole page came, and then says why.
TEST_F(FetchprobeTest, GoFileSaysWhyTheWorkFileWasNotWritten) {
    server_.serve("/missing", "<html>Not Found</html>", 404);
    const fs::path work = work_ / "www.tmp";
    set("txt_WorkFile", work.string());
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x";
    struct Case {
        std::string url;
        std::string reason;  // "" when the page is written
    };
    const std::vector<Case> cases = {
        {server_.url("/missing"), "HTTP status 404"},
        {server_.url("/empty"), "an empty answer"},
        {closed, "Couldn't connect to server"},
        {server_.url("/stats/type2.list"), ""},
    };
    for (const bool earlier : {true, false}) {
        for (const auto& c : cases) {
            fs::remove(work);
            if (earlier) WriteFile(work, "the earlier copy");
            messages_.texts.clear();
            set("txt_URL", c.url);
            click("cmd_GO_F");
            if (c.reason.empty()) {
                EXPECT_TRUE(messages_.texts.empty()) << c.url;
                EXPECT_EQ(ReadFile(work), "remailer key list\n");
                continue;
            }
            EXPECT_EQ(messages_.texts, Strings{c.url + " not downloaded: " + c.reason + "; " + work.string() +
                                               (earlier ? " left as it was" : " holds nothing")});
            EXPECT_EQ(ReadFile(work), earlier ? "the earlier copy" : "") << c.url;
        }
    }
}

// The window opens on the first pinger's type 2 key list of the data
// folder's Pingers.lst, with no address when there is none; DEL deletes
// regular files only.
TEST_F(FetchprobeTest, StartsOnTheFirstTypeTwoListAndDeletesFilesOnly) {
    TempDir data;
    const struct {
        const char* name;
        std::optional<std::string> list;  // nullopt: no file
        std::string url;
    } cases[] = {
        {"no list", std::nullopt, ""},
        {"no type 2 list", "\"K-RSA\",\"alpha\",\"http://alpha.example/rsa.asc\"\r\n", ""},
        {"the first of two",
         "\"PGP-1\",\"alpha\",\"http://alpha.example/rlist.html\"\r\n"
         "\"K-TY2\",\"beta\",\"http://beta.example/stats/type2.list\"\r\n"
         "\"K-TY2\",\"alpha\",\"http://alpha.example/stats/type2.list\"\r\n",
         "http://beta.example/stats/type2.list"},
    };
    for (const auto& c : cases) {
        fs::remove(data / "Pingers.lst");
        if (c.list) WriteFile(data / "Pingers.lst", *c.list);
        FetchprobeWindow fresh(SuiteLinks{[](const QString&) {}, [](const std::string&, short) { return true; },
                                          [this]() -> MessageSink& { return messages_; }, program_.path(),
                                          data.path()});
        EXPECT_EQ(BoxText(fresh, "txt_URL"), c.url) << c.name;
        EXPECT_NE(fresh.findChild<QLineEdit*>("txt_URL")->placeholderText().toStdString().find("/stats/type2.list"),
                  std::string::npos);
    }

    const fs::path work = work_ / "www.tmp";
    set("txt_WorkFile", work.string());
    fs::create_directory(work);  // an empty folder of that name
    click("cmd_DEL");
    EXPECT_TRUE(fs::is_directory(work));
    fs::remove(work);
    WriteFile(work_ / "target", "kept");
    fs::create_symlink(work_ / "target", work);
    click("cmd_DEL");
    EXPECT_TRUE(fs::is_symlink(work));
    EXPECT_EQ(ReadFile(work_ / "target"), "kept");
    fs::remove(work);
    WriteFile(work, "x");
    click("cmd_DEL");
    EXPECT_FALSE(fs::exists(work));
    EXPECT_TRUE(messages_.texts.empty());
}

// Closed while a pinger does not answer: the window closes at once, without
// a box, and the work file stays as it was (or is not there, as it was not).
TEST_F(FetchprobeTest, ClosingDuringADownloadGivesItUpAndKeepsTheWorkFile) {
    const fs::path work = work_ / "www.tmp";
    for (const char* action : {"cmd_GO_F", "cmd_GO_S"}) {
        for (const bool earlier : {true, false}) {
            SCOPED_TRACE(std::string(action) + (earlier ? " over an earlier copy" : " with no file"));
            FetchprobeWindow window(SuiteLinks{[](const QString&) {},
                                               [](const std::string&, short) { return true; },
                                               [this]() -> MessageSink& { return messages_; },
                                               program_.path(),
                                               {}});
            window.show();
            fs::remove(work);
            if (earlier) WriteFile(work, "the earlier copy");
            FindWidget<QLineEdit>(window, "txt_WorkFile")->setText(QString::fromStdString(work.string()));
            FindWidget<QLineEdit>(window, "txt_URL")->setText(QString::fromStdString(server_.url("/held")));
            messages_.texts.clear();
            QElapsedTimer clock;
            QTimer::singleShot(200, &window, [&window] { window.close(); });
            clock.start();
            Click(window, action);
            EXPECT_LT(clock.elapsed(), 5000);  // not waited out
            EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
            EXPECT_TRUE(window.abandoned());
            EXPECT_FALSE(window.isVisible());
            if (earlier) {
                EXPECT_EQ(ReadFile(work), "the earlier copy");
            } else {
                EXPECT_FALSE(fs::exists(work));
            }
        }
    }
}

TEST_F(FetchprobeTest, AWorkFileThatCannotBeWrittenIsReportedAndTheWindowGoesOn) {
    const fs::path nowhere = work_ / "missing" / "www.tmp";
    set("txt_WorkFile", nowhere.string());
    set("txt_URL", server_.url("/stats/type2.list"));
    for (const char* action : {"cmd_GO_S", "cmd_GO_F", "cmd_GO_Plim"}) {
        messages_.texts.clear();
        click(action);
        ASSERT_EQ(messages_.texts.size(), 1u) << action;
        EXPECT_NE(messages_.texts[0].find("Error 2: No such file or directory"), std::string::npos)
            << messages_.texts[0];
        EXPECT_NE(messages_.texts[0].find(nowhere.string()), std::string::npos) << messages_.texts[0];
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << action;
    }
    EXPECT_EQ(server_.hits("/stats/type2.list"), 0);  // nothing fetched for a file that cannot be made
    set("txt_WorkFile", (work_ / "www.tmp").string());
    click("cmd_GO_S");
    EXPECT_EQ(ReadFile(work_ / "www.tmp"), "remailer key list\n\r\n");
}

TEST_F(FetchprobeTest, EditorsGetTheWorkFileAsItStandsAndTheMenusOpenTheFolder) {
    const std::string work = (work_ / "my work.tmp").string();
    set("txt_WorkFile", work);
    click("cmd_NotePad");
    click("cmd_HEdit");
    window_.findChild<QAction*>("MnusView_1")->trigger();
    window_.findChild<QAction*>("MnusView_2")->trigger();
    DoubleClick(window_, "txt_WorkFile");
    EXPECT_EQ(started_, (Strings{"EditPad.exe " + work, "HEdit.exe " + work, "EditPad.exe " + work, "HEdit.exe " + work,
                                 "EditPad.exe " + work}));
    // Both reach the desktop's opener with the path as one argument.
    for (const auto& command : started_) EXPECT_EQ(MapCommandLine(command), (Strings{"xdg-open", work}));

    set("txt_URL", server_.url("/stats/type2.list"));
    DoubleClick(window_, "txt_URL");
    window_.findChild<QAction*>("MnusExplore_1")->trigger();
    window_.findChild<QAction*>("MnusExplore_2")->trigger();
    EXPECT_EQ(opened_, (Strings{server_.url("/stats/type2.list"), program_.path().string(), program_.path().string()}));
}

// The keyboard alone: every access key reaches its control, Enter in either
// box runs GO_F, the focus comes back to the button that started an action,
// and every Tab stop shows its focus.
TEST_F(FetchprobeTest, EveryAccessKeyAndEnterReachesItsAction) {
    const fs::path work = work_ / "www.tmp";
    set("txt_WorkFile", work.string());
    const Strings pressed = PressEveryAccessKey(window_);
    for (auto* button : window_.findChildren<QAbstractButton*>()) {
        const std::string name = button->objectName().toStdString();
        if (name.starts_with("qt_")) continue;  // the menu bar's own
        EXPECT_TRUE(std::any_of(pressed.begin(), pressed.end(),
                                [&name](const std::string& p) { return p.starts_with(name + " "); }))
            << name << " has no key";
    }
    EXPECT_EQ(TabStopsWithoutVisibleFocus(window_), Strings{});

    Activate(window_);
    set("txt_URL", server_.url("/stats/type2.list"));
    for (const char* box : {"txt_URL", "txt_WorkFile"}) {
        WriteFile(work, "old");
        PressEnter(window_, box);
        EXPECT_EQ(ReadFile(work), "remailer key list\n") << box;
    }
    auto* go = FindWidget(window_, "cmd_GO_F");
    go->setFocus(Qt::TabFocusReason);
    QTest::keyClick(go, Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), go);
}

TEST(Sandtest, EveryAccessKeyAndEnterReachesItsAction) {
    SandtestWindow window;
    const Strings pressed = PressEveryAccessKey(window);
    EXPECT_EQ(pressed.size(), 6u) << ::testing::PrintToString(pressed);  // GO and the five boxes' labels
    EXPECT_EQ(TabStopsWithoutVisibleFocus(window), Strings{});
    Activate(window);
    for (const auto& [box, text] : {std::pair{"Text1", "a-b"}, std::pair{"Text2", "-"}, std::pair{"Text3", "+"}})
        window.findChild<QLineEdit*>(box)->setText(text);
    for (const char* box : {"Text1", "Text3"}) {
        window.findChild<QLineEdit*>("Text4")->clear();
        PressEnter(window, box);
        EXPECT_EQ(BoxText(window, "Text4"), "a+b") << box;
        EXPECT_EQ(BoxText(window, "Text5"), "a+b") << box;
    }
}

TEST(Sandtest, WidgetTreeMatchesItsGoldenFile) {
    SandtestWindow window;
    window.show();
    ExpectWidgetsGolden(window, SourceDir() / "probes/gui_tests/golden/frm_Sandtest.txt");
}

TEST(Sandtest, RunsBothRoutinesSideBySide) {
    SandtestWindow window;
    window.show();
    const struct {
        std::string in, mod, rep, me, ori;
    } cases[] = {
        {"a-b-c", "-", "+", "a+b+c", "a+b+c"},
        {"line1\nline2\n", "\n", "\r\n", "line1\r\nline2\r\n", "line1\r\nline2\r\n"},
        {"aaa", "a", "aa", "aaaaaa", "aaaaaa"},          // what a replacement brings is not searched again
        {"Case case", "case", "X", "Case X", "Case X"},  // matched exactly
        {"abcabc", "bc", "", "aa", "aa"},
        {"no match", "zz", "y", "no match", "no match"},
        {"left as it is", "", "y", "left as it is", "left as it is"},  // nothing to find
    };
    for (const auto& c : cases) {
        for (const auto& [box, text] : {std::pair{"Text1", c.in}, std::pair{"Text2", c.mod}, std::pair{"Text3", c.rep}})
            window.findChild<QLineEdit*>(box)->setText(QString::fromStdString(text));
        Click(window, "cmd_GO");
        EXPECT_EQ(BoxText(window, "Text4"), c.me) << c.in << " / " << c.mod;
        EXPECT_EQ(BoxText(window, "Text5"), c.ori) << c.in << " / " << c.mod;
    }
}

}  // namespace
}  // namespace parlux::test
