// The piece every window shares: a frame that stays on the screen and scrolls
// when the screen is too small, Apps entries that say which program is
// missing, and Internet entries that are the maintainer's own.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdlib>

#include "common/core/SiteConfig.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/SuiteWindow.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

// A window whose layout asks for width x height.
std::unique_ptr<QMainWindow> WindowOfSize(int width, int height) {
    auto window = std::make_unique<QMainWindow>();
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* block = new QWidget;
    block->setMinimumSize(width, height);
    layout->addWidget(block);
    SetScrollableCentralWidget(window.get(), content);
    window->menuBar()->addMenu("View");
    return window;
}

TEST(PlaceOnScreen, KeepsTheFrameOnTheScreenAndScrollsOnlyWhatDoesNotFit) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        int width, height;
        bool across, down;  // the scroll bars that show
    };
    for (const Case& c : {Case{300, 200, false, false}, Case{area.width() * 2, area.height() * 2, true, true},
                          Case{area.width() / 2, area.height() * 3, false, true},
                          Case{area.width() * 3, area.height() / 2, true, false}}) {
        auto window = WindowOfSize(c.width, c.height);
        PlaceOnScreen(window.get());
        window->show();
        QCoreApplication::processEvents();
        if (!c.across && !c.down) {
            EXPECT_LE(std::abs(window->frameGeometry().center().x() - area.center().x()), 1);  // centred
        }
        // Dragged off the screen, it is brought back whole.
        window->move(area.x() - 40, area.y() - 30);
        KeepFrameOnScreen(window.get());
        QCoreApplication::processEvents();
        const QRect frame = window->frameGeometry();
        EXPECT_TRUE(area.contains(frame)) << c.width << "x" << c.height;
        auto* scroll = window->findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->horizontalScrollBar()->maximum() > 0, c.across) << c.width << "x" << c.height;
        EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, c.down) << c.width << "x" << c.height;
        if (!c.across && !c.down) {
            // Room enough: the whole layout shows.
            EXPECT_GE(window->centralWidget()->width(), c.width);
        }
    }
}

TEST(AppsMenu, StartsTheSiblingsAndNamesAMissingOne) {
    TempDir program;
    WriteFile(program / "Flaggrid", "#!/bin/sh\n");
    fs::permissions(program / "Flaggrid", fs::perms::owner_all);
    WriteFile(program / "Lockgrid", "not a program");  // there, but it will not start

    RecordingMessages messages;
    std::vector<std::string> started;
    SuiteLinks links;
    links.open = [](const QString&) {};
    links.start = [&](const std::string& commandLine, short) {
        started.push_back(commandLine);
        return StartDetached(commandLine, kShowNormal);
    };
    links.messages = [&]() -> MessageSink& { return messages; };
    links.programFolder = program.path();

    QMainWindow window;
    AddAppsMenu(window.menuBar(), "Rosterbase", links);
    const auto entry = [&](int index) { return window.findChild<QAction*>(QString("MnusApps_%1").arg(index)); };
    ASSERT_NE(entry(4), nullptr);
    EXPECT_TRUE(entry(4)->isChecked());
    EXPECT_FALSE(entry(4)->isEnabled());

    entry(1)->trigger();  // Flaggrid: there
    entry(3)->trigger();  // Pulsegrid: missing
    entry(2)->trigger();  // Lockgrid: not runnable
    EXPECT_EQ(started.size(), 3u);
    EXPECT_EQ(started[1], "\"" + (program / "Pulsegrid.exe").string() + "\"");
    EXPECT_EQ(messages.texts, (std::vector<std::string>{(program / "Pulsegrid").string() + " Not found",
                                                        (program / "Lockgrid").string() + " cannot be started"}));
}

// Without Parlux.conf the four built-in mirrors stand; with one, only the
// mirrors it sets (an empty file, or the commented template, sets none).
TEST(InternetMenu, OffersOnlyTheMirrorsParluxConfSets) {
    struct Case {
        const char* what;
        const char* conf;  // nullptr: no file
        std::vector<std::string> shown;
    };
    const std::string m1(site::kDefaultMirrors[0]), m2(site::kDefaultMirrors[1]), m3(site::kDefaultMirrors[2]),
        m4(site::kDefaultMirrors[3]);
    const Case cases[] = {
        {"no file", nullptr, {m1, m2, m3, m4}},
        {"two mirrors set",
         "site = https://r.example.net/kim\nmirror4 = https://d.example.net/P/\nmirror2 = "
         "https://b.example.net/P/\n",
         {"https://b.example.net/P/", "https://d.example.net/P/"}},
        {"the commented template", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir data;
        if (c.conf) WriteFile(data / "Parlux.conf", c.conf == std::string() ? site::ConfigTemplate() : c.conf);
        site::SetCurrent(site::LoadSiteConfig(data.path()));
        std::vector<std::string> opened;
        SuiteLinks links;
        links.open = [&opened](const QString& target) { opened.push_back(target.toStdString()); };
        QMainWindow window;
        AddInternetMenu(window.menuBar(), links);
        std::vector<std::string> shown;
        for (int i = 1; i <= 4; ++i) {
            auto* entry = window.findChild<QAction*>(QString("MnusInternet_%1").arg(i));
            ASSERT_NE(entry, nullptr);
            if (!entry->isVisible()) continue;
            shown.push_back(entry->text().toStdString());
            entry->trigger();
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(opened, c.shown);
    }
    site::SetCurrent(site::SiteConfig{});
}

}  // namespace
}  // namespace parlux::test
