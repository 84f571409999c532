// Pulsegrid's window driven by the keyboard alone: every access key reaches
// its control, Enter presses the focused button and does what a double-click
// does on the boxes and the picture, the focus comes back to the button that
// started an action, and every Tab stop shows its focus.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <map>

#include "common/desktop/Keyboard.h"

#include "pulsegrid/gui_tests/WindowFixture.h"

namespace parlux::test {
namespace {

TEST_F(WindowTest, EveryAccessKeyReachesItsControl) {
    const std::vector<std::string> pressed = PressEveryAccessKey(*window_);
    // The captions are too many for the letters they hold: those that
    // several buttons share (SAV, RST, the view buttons of both folders) and
    // those without a letter are left to Tab; every other button has a key.
    std::map<QString, int> uses;
    const auto buttons = window_->findChildren<QAbstractButton*>();
    for (auto* button : buttons) ++uses[PlainCaption(button->text())];
    int keyed = 0;
    for (auto* button : buttons) {
        const std::string name = button->objectName().toStdString();
        if (name.starts_with("qt_")) continue;  // the menu bar's own
        const QString caption = PlainCaption(button->text());
        if (std::any_of(pressed.begin(), pressed.end(),
                        [&name](const std::string& p) { return p.starts_with(name + " "); })) {
            ++keyed;
            continue;
        }
        const bool letters = std::any_of(caption.begin(), caption.end(), [](QChar c) { return c.isLetterOrNumber(); });
        EXPECT_TRUE(!letters || uses[caption] > 1) << name << " has no key";
    }
    EXPECT_GE(keyed, 18);  // SUPER, the ten steps, RESET, four types, HYP, Pingers.html
    // The keys ran the actions: SUPER and HYPER among them.
    const auto tops = TopLines(log());
    EXPECT_NE(std::find(tops.begin(), tops.end(), "SUPER Completed: PGP-1"), tops.end());
    EXPECT_NE(std::find(tops.begin(), tops.end(), "HYPER Completed: "), tops.end());
}

// Enter on each focused control does what its click or double-click does.
TEST_F(WindowTest, EnterDoesWhatTheClickDoes) {
    Activate(*window_);
    const struct {
        const char* control;
        std::string top;                   // the top line it leaves, or
        std::vector<std::string> started;  // what it starts
    } cases[] = {
        {"cmd_SUPER", "SUPER Completed: PGP-1", {}},
        {"cmd_RESET", "RESET Completed: PGP-1", {}},
        {"txt_LOA_Pingers", "", {"EditPad.exe " + quoted(dump("Pingers"))}},
        {"txt_DMP_Stats", "", {"EditPad.exe " + quoted(dump("Stats"))}},
        {"txt_PRT_Compil",
         "",
         {"EditPad.exe " + quoted(data_ / "Comp_DS_PGP-1.txt"), "EditPad.exe " + quoted(data_ / "Comp_RS_PGP-1.txt")}},
        {"cmd_FLAGGRID", "Flaggrid Shelled: ", {quoted(program_ / "Flaggrid") + " FULL_AUTO"}},
    };
    for (const auto& c : cases) {
        launcher_.started.clear();
        PressEnter(*window_, c.control);
        if (!c.top.empty()) {
            EXPECT_EQ(text("txt_FeedBackT"), c.top) << c.control;
        }
        EXPECT_EQ(launcher_.started, c.started) << c.control;
    }
    // Image1 asks first: No runs nothing; Yes runs HYPER, then the window closes.
    PressEnter(*window_, "Image1");
    EXPECT_EQ(messages_.questions.size(), 1u);
    EXPECT_TRUE(window_->isVisible());
    messages_.answer = true;
    PressEnter(*window_, "Image1");
    EXPECT_EQ(TopLines(log()).back(), "HYPER Completed: ");
    EXPECT_FALSE(window_->isVisible());
}

// After an action, the button that started it has the focus again, though
// it was greyed meanwhile; every Tab stop shows its focus.
TEST_F(WindowTest, TheFocusComesBackToTheButtonThatStartedTheAction) {
    Activate(*window_);
    // It opens on the type choice, where Enter starts no run.
    EXPECT_EQ(QApplication::focusWidget(), widget("Option1_1"));
    for (const char* button : {"cmd_LOA_Pingers", "cmd_FIX_LfToCrLf", "cmd_SUPER"}) {
        widget(button)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget(button), Qt::Key_Space);
        EXPECT_EQ(QApplication::focusWidget(), widget(button)) << button;
    }
    // Pressed by its access key, a button has the focus afterwards too.
    QTest::keyClick(window_.get(), Qt::Key_L, Qt::AltModifier);
    QTest::qWait(300);  // the press shows for a moment first
    EXPECT_EQ(QApplication::focusWidget(), widget("cmd_LOA_Pingers"));
    EXPECT_EQ(TabStopsWithoutVisibleFocus(*window_), std::vector<std::string>{});
}

}  // namespace
}  // namespace parlux::test
