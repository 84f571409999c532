// The helpers the golden files rest on: a diff that points at the right
// lines, and a widget listing that is complete, ordered and free of scratch
// paths.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

TEST(LineDiff, ShowsOnlyTheChangedLinesWithTheirContext) {
    const struct {
        std::string expected, actual, diff;
    } cases[] = {
        {"a\nb\nc\n", "a\nb\nc\n", ""},
        {"a\nb\nc\n", "a\nB\nc\n", "@@ expected line 1\n a\n-b\n+B\n c\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", "1\n2\n3\n4\n5\n6\n7\n8\n9\nX\n", "@@ expected line 8\n 8\n 9\n+X\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n", "2\n3\n4\n5\n6\n7\n",
         "@@ expected line 1\n-1\n 2\n 3\n@@ expected line 6\n 6\n 7\n-8\n"},
        {"a\r\nb\r\n", "a\r\nc\r\n", "@@ expected line 1\n a\n-b\n+c\n"},  // CR LF lines read as lines
    };
    for (const auto& c : cases) EXPECT_EQ(LineDiff(c.expected, c.actual), c.diff) << c.expected << "|" << c.actual;
}

TEST(DumpWidgets, ListsEveryWidgetInNameOrderAndMenusInMenuOrder) {
    QMainWindow window;
    window.setObjectName("frm_Probe");
    window.setWindowTitle("Probe");
    auto* menu = window.menuBar()->addMenu("Zeta");  // first in the bar, whatever its name
    menu->setObjectName("MnuZ");
    menu->addAction("second")->setObjectName("MnusZ_2");
    menu->addSeparator()->setObjectName("MnusZ_1");
    auto* tick = menu->addAction("/scratch/abc/own");
    tick->setCheckable(true);
    tick->setChecked(true);
    tick->setEnabled(false);
    window.menuBar()->addMenu("Alpha")->setObjectName("MnuA");

    auto* content = new QWidget;  // unnamed, shows nothing: left out, its children kept
    auto* layout = new QVBoxLayout(content);
    auto* frame = new QGroupBox("Frame");
    frame->setObjectName("FrameB");
    auto* inFrame = new QVBoxLayout(frame);
    auto* check = new QCheckBox("Check");
    check->setObjectName("chk");
    check->setTristate(true);
    check->setCheckState(Qt::PartiallyChecked);
    inFrame->addWidget(check);
    auto* box = new QLineEdit("/scratch/abc/file");
    box->setObjectName("txt_Box");
    box->setReadOnly(true);
    box->setToolTip("say \"hi\"");
    auto* label = new QLabel("Box:");
    label->setBuddy(box);
    auto* button = new QPushButton("Go");
    button->setObjectName("cmd_Go");
    button->setEnabled(false);
    auto* hidden = new QPushButton("Later");
    hidden->setObjectName("cmd_Later");
    hidden->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{button, frame, hidden, box, label}) layout->addWidget(w);
    window.setCentralWidget(content);

    EXPECT_EQ(DumpWidgets(window, {{"/scratch/abc", "<data>"}}),
              "frm_Probe QMainWindow title=\"Probe\"\n"
              "  - QMenuBar\n"
              "    MnuZ QMenu title=\"Zeta\"\n"
              "      MnusZ_2 QAction text=\"second\"\n"
              "      MnusZ_1 QAction separator\n"
              "      - QAction text=\"<data>/own\" checked disabled\n"
              "    MnuA QMenu title=\"Alpha\"\n"
              "  - QLabel text=\"Box:\" buddy=txt_Box\n"
              "  FrameB QGroupBox title=\"Frame\"\n"
              "    chk QCheckBox text=\"Check\" partial\n"
              "  cmd_Go QPushButton text=\"Go\" disabled\n"
              "  cmd_Later QPushButton text=\"Later\" hidden\n"
              "  txt_Box QLineEdit text=\"<data>/file\" read-only tooltip=\"say \\\"hi\\\"\"\n");
}

}  // namespace
}  // namespace parlux::test
