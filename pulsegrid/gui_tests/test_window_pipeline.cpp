// The pipeline driven through the window's buttons: SUPER, HYPER, RESET, the
// dump buttons and boxes, the double-clicks, the copy button.
#include <QElapsedTimer>
#include <QTimer>

#include "common/core/SiteConfig.h"
#include "common/desktop/ProgramStart.h"
#include "pulsegrid/gui_tests/WindowFixture.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kResultBoxes = {"txt_LOA_Pingers", "txt_LOA_Stats", "txt_LOA_Pingeds",
                                               "txt_EXP_Stats",   "txt_REV_Stats", "txt_PRT_Compil"};
const std::vector<std::string> kDumpBoxes = {"txt_DMP_Pingers", "txt_DMP_Pingeds", "txt_DMP_Stats"};

TEST_F(WindowTest, SuperRunsEveryStepInOrderAndFillsTheBoxes) {
    click("cmd_SUPER");

    const std::vector<std::string> expected = {
        "SUPER in Progress: PGP-1",         "RESET in Progress: PGP-1",           "RESET Completed: PGP-1",
        "LOA_Pingers in Progress: PGP-1",   "LOA_Pingers Completed: PGP-1 - 2",   "FIX_LfToCrLf in Progress: PGP-1",
        "FIX_LfToCrLf Completed: PGP-1",    "SRT_Pingers in Progress: PGP-1",     "SRT_Pingers Completed: PGP-1",
        "LOA_Stats in Progress: PGP-1",     "LOA_Stats Completed: PGP-1 - 5",     "LOA_Pingeds in Progress: PGP-1",
        "LOA_Pingeds Completed: PGP-1 - 4", "SRT_Pingeds in Progress: PGP-1",     "SRT_Pingeds Completed: PGP-1",
        "EXP_Stats in Progress: PGP-1",     "EXP_Stats Completed: PGP-1 - 8",     "REV_Stats in Progress: PGP-1",
        "REV_Stats Completed: PGP-1 - 8",   "SRT_Stats in Progress: PGP-1",       "SRT_Stats Completed: PGP-1",
        "PRT_Compil in Progress: PGP-1",    "PRT_Compil Completed: PGP-1 - True", "SUPER Completed: PGP-1",
    };
    const auto records = log();
    EXPECT_EQ(TopLines(records), expected);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().date, "#2026-12-07 12:30:05#");

    // The downloads show on the detail line, pinger by pinger in list order.
    std::vector<std::string> details;
    for (const auto& r : records)
        if (r.top == "LOA_Pingers in Progress: PGP-1" && r.detail != " ") details.push_back(r.detail);
    ASSERT_EQ(details.size(), 4u);
    EXPECT_EQ(details[0], "beta PGP-1 Downloading ");
    EXPECT_TRUE(details[1].starts_with("beta PGP-1 Downloaded, ")) << details[1];
    EXPECT_EQ(details[2], "alpha PGP-1 Downloading ");
    // Each action line blanks the detail line.
    for (const auto& r : records) {
        if (r.top.find(" Completed: ") != std::string::npos) {
            EXPECT_EQ(r.detail, " ") << r.top;
        }
    }

    // The boxes show what the steps returned, and the lines what the log holds last.
    EXPECT_EQ(text("txt_LOA_Pingers"), "2");
    EXPECT_EQ(text("txt_LOA_Stats"), "5");
    EXPECT_EQ(text("txt_LOA_Pingeds"), "4");
    EXPECT_EQ(text("txt_EXP_Stats"), "8");
    EXPECT_EQ(text("txt_REV_Stats"), "8");
    EXPECT_EQ(text("txt_PRT_Compil"), "True");
    EXPECT_EQ(text("txt_FeedBackT"), "SUPER Completed: PGP-1");
    EXPECT_EQ(text("txt_FeedBackD"), " ");
    EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();

    // The type choice cannot be used while SUPER runs, and LOA_Pingers keeps it
    // locked after the run; the pointer is busy throughout.
    EXPECT_FALSE(widget("FrameC")->isEnabled());
    for (const auto& s : display_->snapshots) {
        EXPECT_TRUE(s.busy) << s.top;
        EXPECT_FALSE(s.choiceEnabled) << s.top;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(display_->pauses, std::vector<int>{500});

    // The pages of the type, stamped with the GMT time; no caps page for version 1.
    EXPECT_TRUE(exists("Comp_DS_PGP-1.txt"));
    EXPECT_TRUE(exists("Comp_RS_PGP-1.txt"));
    EXPECT_TRUE(exists("Comp_DS_PGP-1.html"));
    EXPECT_FALSE(exists("Comp_RC_PGP-1.txt"));
    const std::string page = ReadFile(data_ / "Comp_DS_PGP-1.txt");
    for (const std::string word : {"alpha", "beta", "austria", "hermetix", "2026/12/07 11:30:05"})
        EXPECT_NE(page.find(word), std::string::npos) << word;

    // A locked choice cannot be clicked; RESET unlocks it and empties the boxes.
    click("Option1_2");
    EXPECT_EQ(core_->statsType(), "PGP-1");
    click("cmd_RESET");
    EXPECT_TRUE(widget("FrameC")->isEnabled());
    for (const auto& box : kResultBoxes) EXPECT_EQ(text(box), "") << box;
    click("Option1_2");
    EXPECT_EQ(core_->statsType(), "MIX-1");
    EXPECT_EQ(TopLines(log()).back(), "RESET Completed: PGP-1");
}

TEST_F(WindowTest, HyperRunsTheFourTypesInOrderAndEndsIdleOnTheLast) {
    click("Option1_3");
    ASSERT_EQ(core_->statsType(), "PGP-2");
    click("cmd_HYPER");

    std::vector<std::string> supers, marks;
    for (const auto& s : display_->snapshots) {
        if (s.top.starts_with("SUPER in Progress: ") && (supers.empty() || supers.back() != s.top)) {
            supers.push_back(s.top);
            marks.push_back(s.checkedOption);
        }
    }
    EXPECT_EQ(supers, (std::vector<std::string>{"SUPER in Progress: PGP-1", "SUPER in Progress: MIX-1",
                                                "SUPER in Progress: PGP-2", "SUPER in Progress: MIX-2"}));
    EXPECT_EQ(marks, (std::vector<std::string>{"Option1_1", "Option1_2", "Option1_3", "Option1_4"}));

    const auto tops = TopLines(log());
    ASSERT_GE(tops.size(), 6u);
    EXPECT_EQ(tops.front(), "HYPER in Progress: ");
    const std::vector<std::string> tail(tops.end() - 5, tops.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"RESET in Progress: MIX-2", "RESET Completed: MIX-2",
                                              "Flaggrid Shelling: ", "Flaggrid Shelled: ", "HYPER Completed: "}));
    EXPECT_EQ(display_->pauses, (std::vector<int>{500, 500, 500, 500, 1000}));

    // Idle on the last type, the choice open again, Flaggrid started unattended and minimised.
    EXPECT_EQ(core_->statsType(), "MIX-2");
    EXPECT_TRUE(widget<QAbstractButton>("Option1_4")->isChecked());
    EXPECT_TRUE(widget("FrameC")->isEnabled());
    for (const auto& box : kResultBoxes) EXPECT_EQ(text(box), "") << box;
    EXPECT_EQ(launcher_.started, std::vector<std::string>{quoted(program_ / "Flaggrid") + " FULL_AUTO"});
    EXPECT_EQ(launcher_.styles, std::vector<short>{kShowMinimized});

    for (const auto& type : kFourTypes) {
        EXPECT_TRUE(exists("Comp_DS_" + type + ".txt")) << type;
        EXPECT_TRUE(exists("Comp_RS_" + type + ".txt")) << type;
        EXPECT_TRUE(exists("Comp_DS_" + type + ".html")) << type;
        EXPECT_EQ(exists("Comp_RC_" + type + ".txt"), type.back() == '2') << type;
    }
}

TEST_F(WindowTest, Image1DoubleClickRunsHyperThenClosesTheWindow) {
    doubleClick("Image1");
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(TopLines(log()).back(), "HYPER Completed: ");
    EXPECT_TRUE(exists("Comp_RC_MIX-2.txt"));
    EXPECT_EQ(launcher_.started.size(), 1u);
}

TEST_F(WindowTest, FollowUpButtonStartsFlaggridUnattended) {
    click("cmd_FLAGGRID");
    EXPECT_EQ(launcher_.started, std::vector<std::string>{quoted(program_ / "Flaggrid") + " FULL_AUTO"});
    EXPECT_EQ(launcher_.styles, std::vector<short>{kShowMinimized});
    EXPECT_EQ(TopLines(log()), (std::vector<std::string>{"Flaggrid Shelling: ", "Flaggrid Shelled: "}));
}

TEST_F(WindowTest, DumpsAreSavedViewedAndRemovedByReset) {
    click("cmd_LOA_Pingers");
    click("cmd_LOA_Stats");
    click("cmd_SAV_Pingers");
    EXPECT_EQ(text("txt_DMP_Pingers"), "2");
    EXPECT_TRUE(fs::exists(dump("Pingers")));

    // A result box saves the table it filled and opens the dump, minimised.
    doubleClick("txt_LOA_Stats");
    EXPECT_EQ(text("txt_DMP_Stats"), "5");
    EXPECT_EQ(CrLfLines(ReadFile(dump("Stats"))).size(), 5u);
    // A dump box only opens its dump.
    doubleClick("txt_DMP_Pingers");
    EXPECT_EQ(launcher_.started, (std::vector<std::string>{"EditPad.exe " + quoted(dump("Stats")),
                                                           "EditPad.exe " + quoted(dump("Pingers"))}));
    EXPECT_EQ(launcher_.styles, (std::vector<short>{kShowMinimized, kShowMinimized}));

    // A table that is not loaded saves nothing.
    click("cmd_SAV_Pingeds");
    EXPECT_EQ(text("txt_DMP_Pingeds"), "0");
    EXPECT_FALSE(fs::exists(dump("Pingeds")));

    click("cmd_RESET");
    EXPECT_FALSE(fs::exists(dump("Pingers")));
    EXPECT_FALSE(fs::exists(dump("Stats")));
    for (const auto& box : kDumpBoxes) EXPECT_EQ(text(box), "") << box;
    for (const auto& box : kResultBoxes) EXPECT_EQ(text(box), "") << box;
    EXPECT_FALSE(core_->table(kPingersTable).loaded());
    // With no dumps left RESET is just as quiet.
    click("cmd_RESET");
    EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
}

TEST_F(WindowTest, SavedTablesComeBackThroughTheRestoreButtons) {
    click("cmd_SUPER");
    const std::array<Table, 3> before = {core_->table(0), core_->table(1), core_->table(2)};
    const char* names[] = {"Pingers", "Pingeds", "Stats"};
    std::array<std::string, 3> saved;
    for (int t = 0; t < 3; ++t) {
        click(std::string("cmd_SAV_") + names[t]);
        saved[t] = ReadFile(dump(names[t]));
    }
    EXPECT_EQ(text("txt_DMP_Pingers"), "2");
    EXPECT_EQ(text("txt_DMP_Pingeds"), "4");
    EXPECT_EQ(text("txt_DMP_Stats"), "8");

    click("cmd_RESET");  // forgets the tables and removes the dumps
    for (int t = 0; t < 3; ++t) {
        ASSERT_FALSE(core_->table(t).loaded());
        WriteFile(dump(names[t]), saved[t]);
        click(std::string("cmd_RST_") + names[t]);
        EXPECT_EQ(core_->table(t), before[t]) << names[t];
    }
    EXPECT_EQ(text("txt_DMP_Pingers"), "2");
    EXPECT_EQ(text("txt_DMP_Pingeds"), "4");
    EXPECT_EQ(text("txt_DMP_Stats"), "8");

    // The grid rows the expansion made have a stats text never written, and keep it so.
    int neverWritten = 0;
    for (int r = 0; r < core_->table(kMainTable).rowCount(); ++r)
        neverWritten += core_->table(kMainTable).cell(kStatsText, r).kind == Cell::Kind::Empty;
    EXPECT_EQ(neverWritten, 3);  // 8 pairs, 5 reported
    EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();

    // The restored tables go on through the rest of the pipeline.
    fs::remove(data_ / "Comp_DS_PGP-1.txt");
    click("cmd_PRT_Compil");
    EXPECT_EQ(text("txt_PRT_Compil"), "True");
    EXPECT_TRUE(exists("Comp_DS_PGP-1.txt"));
}

TEST_F(WindowTest, RestoringAMissingDumpSaysNotFoundAndKeepsTheTable) {
    click("cmd_LOA_Pingers");
    const Table pingers = core_->table(kPingersTable);
    click("cmd_RST_Pingers");
    EXPECT_EQ(messages_.texts, std::vector<std::string>{dump("Pingers").string() + " Not found"});
    EXPECT_EQ(text("txt_DMP_Pingers"), "0");
    EXPECT_EQ(core_->table(kPingersTable), pingers);

    // An empty dump leaves the table not loaded.
    WriteFile(dump("Pingers"), "");
    click("cmd_RST_Pingers");
    EXPECT_EQ(text("txt_DMP_Pingers"), "0");
    EXPECT_FALSE(core_->table(kPingersTable).loaded());
    EXPECT_EQ(messages_.texts.size(), 1u);
}

TEST_F(WindowTest, OutputBoxOpensTheTextPagesOfTheType) {
    doubleClick("txt_PRT_Compil");
    EXPECT_EQ(launcher_.started, (std::vector<std::string>{"EditPad.exe " + quoted(data_ / "Comp_DS_PGP-1.txt"),
                                                           "EditPad.exe " + quoted(data_ / "Comp_RS_PGP-1.txt")}));
    launcher_.started.clear();
    click("Option1_4");
    doubleClick("txt_PRT_Compil");
    EXPECT_EQ(launcher_.started, (std::vector<std::string>{"EditPad.exe " + quoted(data_ / "Comp_DS_MIX-2.txt"),
                                                           "EditPad.exe " + quoted(data_ / "Comp_RS_MIX-2.txt"),
                                                           "EditPad.exe " + quoted(data_ / "Comp_RC_MIX-2.txt")}));
    for (short style : launcher_.styles) EXPECT_EQ(style, kShowNormal);
}

TEST_F(WindowTest, TransferCopiesTheProgramFoldersFilesOverTheDataFolders) {
    WriteFile(program_ / "Pingers.lst", "\"PGP-1\",\"gamma\",\"http://127.0.0.1:1/\"\r\n");
    click("cmd_TFR");
    // The list is copied over the old one, which is kept beside it; the
    // missing page is reported and skipped.
    EXPECT_EQ(ReadFile(data_ / "Pingers.lst"), ReadFile(program_ / "Pingers.lst"));
    ASSERT_EQ(messages_.texts.size(), 1U);
    const std::string kept = (data_ / "Pingers.lst").string() + " differed from " +
                             (program_ / "Pingers.lst").string() + ": kept as " +
                             (data_ / "Pingers.lst.before-").string();
    EXPECT_EQ(messages_.texts[0].rfind(kept, 0), 0U) << messages_.texts[0];
    const std::string keptName = messages_.texts[0].substr(kept.size() - std::string("Pingers.lst.before-").size(),
                                                           std::string("Pingers.lst.before-YYYYMMDD-HHMMSS").size());
    EXPECT_NE(ReadFile(data_ / keptName), ReadFile(data_ / "Pingers.lst"));
    EXPECT_TRUE(messages_.texts[0].ends_with("\n" + (program_ / "index.html").string() + " Not found"));
    EXPECT_FALSE(exists("index.html"));
    messages_.texts.clear();

    WriteFile(program_ / "index.html", "<html></html>");
    click("cmd_TFR");
    EXPECT_EQ(ReadFile(data_ / "index.html"), "<html></html>");
    EXPECT_EQ(messages_.texts, std::vector<std::string>{});  // the list is the master copy now: nothing kept
}

TEST_F(WindowTest, ViewButtonsAndMenusOpenTheirTargets) {
    for (const auto& file :
         {program_ / "Pingers.lst", program_ / "index.html", data_ / "index.html", data_ / "Pingers.html"})
        WriteFile(file, "x");
    for (int i = 1; i <= 5; ++i) click("cmd_VIEW_" + std::to_string(i));
    const std::vector<std::string> files = {"Pingers.lst", "index.html", (data_ / "Pingers.lst").string(),
                                            (data_ / "index.html").string(), (data_ / "Pingers.html").string()};
    EXPECT_EQ(opened_, files);

    opened_.clear();
    for (int i = 1; i <= 5; ++i) entry("MnusView_" + std::to_string(i))->trigger();
    EXPECT_EQ(opened_, files);

    opened_.clear();
    for (int i = 1; i <= 4; ++i) entry("MnusInternet_" + std::to_string(i))->trigger();
    for (const std::string name : {"MnusExplorer1_1", "MnusExplorer1_2", "MnusExplorer2_1", "MnusExplorer2_2"})
        entry(name)->trigger();
    EXPECT_EQ(opened_,
              (std::vector<std::string>{std::string(site::kDefaultMirrors[0]), std::string(site::kDefaultMirrors[1]),
                                        std::string(site::kDefaultMirrors[2]), std::string(site::kDefaultMirrors[3]),
                                        program_.path().string(), data_.path().string(), program_.path().string(),
                                        data_.path().string()}));
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_TRUE(messages_.texts.empty());

    // A file that is not there opens nothing: a box names it.
    std::filesystem::remove(program_ / "index.html");
    std::filesystem::remove(data_ / "Pingers.html");
    opened_.clear();
    click("cmd_VIEW_2");
    entry("MnusView_5")->trigger();
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(messages_.texts, (std::vector<std::string>{(program_ / "index.html").string() + " Not found",
                                                         (data_ / "Pingers.html").string() + " Not found"}));
}

TEST_F(WindowTest, AppsMenuStartsTheSiblingsButNotItself) {
    entry("MnusApps_0")->trigger();
    entry("MnusApps_7")->trigger();
    entry("MnusApps_3")->trigger();  // disabled: nothing
    EXPECT_EQ(launcher_.started,
              (std::vector<std::string>{quoted(program_ / "Gridhub.exe"), quoted(program_ / "Fetchprobe.exe")}));
    EXPECT_EQ(launcher_.styles, (std::vector<short>{kShowNormal, kShowNormal}));
}

TEST_F(WindowTest, AStepThatCannotWriteTheLogIsReportedAndTheWindowGoesOn) {
    fs::remove(program_ / "Pulsegrid.log");
    fs::create_directory(program_ / "Pulsegrid.log");
    // No log is kept (said once on stderr) and the step goes on.
    click("cmd_SUPER");
    EXPECT_EQ(messages_.texts, std::vector<std::string>{});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(window_->failed());

    fs::remove(program_ / "Pulsegrid.log");
    click("cmd_RESET");
    EXPECT_EQ(TopLines(log()), (std::vector<std::string>{"RESET in Progress: PGP-1", "RESET Completed: PGP-1"}));
}

TEST_F(WindowTest, PauseWaitsWhileEventsRun) {
    bool ran = false;
    QTimer::singleShot(0, window_.get(), [&] { ran = true; });
    QElapsedTimer timer;
    timer.start();
    window_->pause(120);
    EXPECT_GE(timer.elapsed(), 120);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace parlux::test
