#include "probes/SandtestWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/core/TextReplace.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/SuiteWindow.h"

namespace parlux {

namespace {

QString Text(const QMainWindow& window, const char* name) { return window.findChild<QLineEdit*>(name)->text(); }

}  // namespace

SandtestWindow::SandtestWindow(QWidget* parent) : QMainWindow(parent) {
    NameSuiteWindow(this, "Sandtest", "Test Replace");

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setVerticalSpacing(6);
    const std::pair<const char*, const char*> boxes[] = {
        {"In:", "Text1"}, {"Mod:", "Text2"}, {"Rep:", "Text3"}, {"Me:", "Text4"}, {"Ori:", "Text5"}};
    int row = 0;
    for (const auto& [caption, name] : boxes) {
        auto* label = new QLabel(caption);
        label->setObjectName(QString("lbl_") + name);
        auto* box = new QLineEdit;
        box->setObjectName(name);
        box->setMinimumWidth(380);
        label->setBuddy(box);
        // Enter in any box runs GO.
        connect(box, &QLineEdit::returnPressed, this, [this] { this->go(); });
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    auto* go = new QPushButton("GO");
    go->setObjectName("cmd_GO");
    go->setAutoDefault(false);
    go->setFixedWidth(72);
    connect(go, &QPushButton::clicked, this, [this] { this->go(); });
    grid->addWidget(go, row, 1, Qt::AlignRight);
    grid->setRowStretch(row + 1, 1);
    SetScrollableCentralWidget(this, central);
    DriveByKeyboard(this);
}

void SandtestWindow::go() {
    const auto read = [this](const char* name) { return Text(*this, name).toStdString(); };
    // An empty "Mod:" finds nothing: both routines give the input back as it is.
    findChild<QLineEdit*>("Text4")->setText(
        QString::fromStdString(ReplaceText(read("Text1"), read("Text2"), read("Text3"), 1, -1, kCompareBinary)));
    int start = 1;
    findChild<QLineEdit*>("Text5")->setText(QString::fromStdString(
        ReplaceTextCounted(read("Text1"), read("Text2"), read("Text3"), start, -1, kCompareBinary)));
}

}  // namespace parlux
