#include "gridhub/GridhubWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <functional>

#include "common/core/Files.h"
#include "common/core/Process.h"
#include "common/core/ScratchFiles.h"
#include "common/core/SiteConfig.h"
#include "common/core/WaitedRun.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/QtText.h"

namespace parlux {

namespace fs = std::filesystem;
using gridhub::Area;

namespace {

constexpr int kBoxSize = 44;  // the picture boxes

// A launch-table box: grey only as set at start; a click ticks a grey or
// clear box and clears a ticked one.
class LaunchCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
    // Too narrow for its caption, the box would hide the style's focus mark
    // (drawn round the caption): a frame round the box shows it instead.
    void paintEvent(QPaintEvent* event) override {
        QCheckBox::paintEvent(event);
        if (!hasFocus()) return;
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
};

gridhub::CheckValue ValueOf(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return gridhub::kTicked;
        case Qt::PartiallyChecked:
            return gridhub::kGrey;
        case Qt::Unchecked:
            break;
    }
    return gridhub::kClear;
}

// Combo2: a file is opened only when it is chosen, in the open list or with
// Enter. The wheel over the closed list scrolls the window instead, and the
// arrow keys (and type-ahead) only move through the names.
class FileList final : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool browsing() const { return browsing_; }
    std::function<void()> enter;

protected:
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && enter) {
            enter();
            return;
        }
        browsing_ = true;
        QComboBox::keyPressEvent(event);
        browsing_ = false;
    }

private:
    bool browsing_ = false;
};

QLabel* PictureBox(const QString& name, const QString& tooltip) {
    auto* box = new QLabel;
    box->setObjectName(name);
    box->setToolTip(tooltip);
    box->setFixedSize(kBoxSize, kBoxSize);
    box->setFrameShape(QFrame::StyledPanel);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

// The search picture of the desktop's theme, with a letter printed over it.
QPixmap SearchPicture(const QString& letter, const QStyle* style) {
    QIcon search = QIcon::fromTheme("system-search", QIcon::fromTheme("edit-find"));
    const int size = kBoxSize - 6;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (!search.isNull()) {
        search.paint(&p, QRect(0, 0, 26, 26));
    } else {
        // No theme: a magnifier of our own.
        p.setPen(QPen(style->standardPalette().color(QPalette::Text), 2.5));
        p.drawEllipse(QRectF(3, 3, 15, 15));
        p.drawLine(QPointF(16, 16), QPointF(24, 24));
    }
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(17);
    p.setFont(font);
    p.setPen(QColor(0x1f, 0x3f, 0x8f));
    p.drawText(QRect(size / 2, size / 2 - 2, size / 2, size / 2 + 2), Qt::AlignCenter, letter);
    p.end();
    return pixmap;
}

}  // namespace

GridhubWindow::GridhubWindow(SuiteLinks links, QWidget* parent) : QMainWindow(parent), links_(std::move(links)) {
    NameSuiteWindow(this, "Gridhub", "Index of Quill's Comparison Programs");
    auto* central = new QWidget;
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->addWidget(buildProggies(), 1);
    QGroupBox* view = BuildViewFrame(
        {{"PingersBad.lst", 0, 0},
         {"Pingers.lst", 1, 0},
         {"index.html", 2, 0},
         {"PingersBad.lst", 0, 2},
         {"Pingers.lst", 1, 2},
         {"index.html", 2, 2},
         {"Pingers.html", 3, 2},
         {"index.html", 2, 3},
         {"Pingers.html", 3, 3}},
        links_, [this] { CopyFilesOver(links_.me(), links_.dataFolder, gridhub::kCopiedFiles, links_.messages()); },
        viewButtons_);
    auto* right = new QVBoxLayout;
    right->addWidget(view);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(buildChoose());
    pictures->addWidget(buildData());
    right->addLayout(pictures);
    right->addStretch(1);
    top->addLayout(right);
    outer->addLayout(top);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildArea(), 1);
    bottom->addWidget(buildOutputStyle());
    outer->addLayout(bottom);
    outer->addStretch(1);

    SetScrollableCentralWidget(this, central);
    buildMenus();
    DriveByKeyboard(this);
    // The date and size of the file chosen, where the keyboard shows them too.
    fileInfo_ = new QLabel;
    fileInfo_->setObjectName("lbl_FileInfo");
    statusBar()->setObjectName("StatusBar1");
    statusBar()->addWidget(fileInfo_, 1);
    // The first focus starts nothing when Enter comes: the area choice.
    areas_.front()->setFocus(Qt::OtherFocusReason);
    for (std::size_t i = 0; i < viewButtons_.size(); ++i)
        viewButtons_[i]->setToolTip(PlainCaption(viewEntries_[gridhub::kViewButtonEntries[i] - 1]->text()));
}

QWidget* GridhubWindow::buildProggies() {
    auto* frame = new QGroupBox("Proggies");
    auto* grid = new QGridLayout(frame);
    grid->setVerticalSpacing(4);
    grid->setHorizontalSpacing(8);
    for (int i = 0; i < static_cast<int>(gridhub::kLaunchTable.size()); ++i) {
        const gridhub::LaunchEntry& entry = gridhub::kLaunchTable[i];
        QLabel* box = PictureBox(QString("Picture1_%1").arg(i), "Double_Click to Shell Proggy");
        // Enter asks first when the program would run unattended.
        doubleClicks_.onAsking(
            box, [this, i] { launch(i); },
            [this, i] {
                if (gridhub::LaunchArguments(ValueOf(checks_[i])).empty()) return true;
                const std::string& file = gridhub::kLaunchTable[i].file;
                return links_.messages().ask("Start " + file.substr(0, file.size() - 4) + " FULL_AUTO?");
            });
        programBoxes_.push_back(box);

        auto* check = new LaunchCheckBox("Check1");
        check->setObjectName(QString("Check1_%1").arg(i));
        check->setToolTip("FULL_AUTO");
        check->setTristate(true);
        check->setCheckState(entry.initial == gridhub::kTicked ? Qt::Checked : Qt::PartiallyChecked);
        // Only the box shows, as a box too small for its caption.
        check->setFixedWidth(check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) + 4);
        checks_.push_back(check);

        auto* label = new QLabel(Q(entry.label));
        label->setObjectName(QString("Label1_%1").arg(i));
        label->setToolTip(Q(entry.file));

        grid->addWidget(box, i, 0);
        grid->addWidget(check, i, 1);
        grid->addWidget(label, i, 2);
    }
    grid->setColumnStretch(2, 1);
    return frame;
}

QWidget* GridhubWindow::buildChoose() {
    auto* frame = new QGroupBox("Choose");
    auto* row = new QHBoxLayout(frame);
    auto* hyper = new QPushButton("H Y P E R");
    hyper->setObjectName("cmd_HYPER");
    hyper->setToolTip("All Relevant Proggies");
    hyper->setAutoDefault(false);
    QFont bold = hyper->font();
    bold.setBold(true);
    hyper->setFont(bold);
    hyper->setMinimumHeight(kBoxSize);
    connect(hyper, &QPushButton::clicked, this, [this] { this->hyper(); });
    row->addWidget(hyper);

    image_ = PictureBox("Image1", "Double-Click for HYPER FULL_AUTO");
    doubleClicks_.onAsking(
        image_, [this] { hyperAndClose(); },
        [this] { return links_.messages().ask("HYPER: start every relevant program, then close this window?"); });
    row->addWidget(image_);
    return frame;
}

QWidget* GridhubWindow::buildData() {
    auto* frame = new QGroupBox("Data");
    auto* row = new QHBoxLayout(frame);
    const std::pair<const char*, const char*> boxes[] = {
        {"Stats", "Double_Click to Find DownLoaded Stats Files"},
        {"Keys", "Double_Click to Find DownLoaded Keys Files"},
        {"Results", "Double_Click to Find Resulting Files"},
    };
    for (int i = 0; i < 3; ++i) {
        QLabel* box = PictureBox(QString("Picture2_%1").arg(i), boxes[i].second);
        const QString tag = boxes[i].first;
        box->setProperty("Tag", tag);
        doubleClicks_.on(box, [this, tag] { OpenNamed(links_, tag + ".fnd"); });
        searchBoxes_.push_back(box);
        row->addWidget(box);
    }
    return frame;
}

QWidget* GridhubWindow::buildArea() {
    auto* frame = new QGroupBox("Area");
    auto* grid = new QGridLayout(frame);
    const char* captions[] = {"None", "DownLoads", "Results"};
    auto* options = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(captions[i]);
        option->setObjectName(QString("Option1_%1").arg(i));
        connect(option, &QRadioButton::clicked, this, [this, i] { chooseArea(static_cast<Area>(i)); });
        areas_.push_back(option);
        options->addWidget(option);
    }
    options->addStretch(1);
    areas_[0]->setChecked(true);
    grid->addLayout(options, 0, 0, 1, 2);

    types_ = new QComboBox;
    types_->setObjectName("Combo1");
    types_->setMinimumWidth(110);
    connect(types_, &QComboBox::activated, this, [this] { chooseType(); });
    auto* files = new FileList;
    files->enter = [this] { chooseFile(); };
    files_ = files;
    files_->setObjectName("Combo2");
    files_->setMinimumWidth(260);
    files_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(files_, &QComboBox::activated, this, [this, files] { chooseFile(!files->browsing()); });
    grid->addWidget(types_, 1, 0);
    grid->addWidget(files_, 1, 1);
    grid->setColumnStretch(1, 1);
    return frame;
}

QWidget* GridhubWindow::buildOutputStyle() {
    auto* frame = new QGroupBox("Output Style");
    auto* column = new QVBoxLayout(frame);
    column->setSpacing(2);
    const char* captions[] = {"None", "EditPad", "ShellExecute"};
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(captions[i]);
        option->setObjectName(QString("Option2_%1").arg(i));
        connect(option, &QRadioButton::clicked, this, [this, i] { chooseOutputStyle(i); });
        styles_.push_back(option);
        column->addWidget(option);
    }
    styles_[0]->setChecked(true);
    return frame;
}

void GridhubWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* view = bar->addMenu("View");
    view->setObjectName("MnuView");
    // An entry added later leaves the access keys of those before it alone.
    KeepMenuKeysInOrder(view);
    viewEntries_.clear();
    for (const gridhub::ViewEntry& entry : gridhub::ViewMenu(links_.dataFolder, site::Current().history)) {
        const bool separator = entry.caption == "-";
        QAction* action = separator ? view->addSeparator() : view->addAction(Q(entry.caption));
        action->setObjectName(Q(entry.objectName));
        viewEntries_.push_back(action);
        if (separator) continue;
        // The caption gains an access key: what opens is the entry's own text.
        connect(action, &QAction::triggered, this, [this, entry] {
            const QString target = Q(entry.caption);
            std::error_code ec;
            if (entry.opens == gridhub::ViewOpens::Config && fs::is_directory(links_.dataFolder, ec))
                site::EnsureConfigFile(links_.dataFolder);
            if (entry.opens == gridhub::ViewOpens::Named)
                OpenNamed(links_, target);
            else
                links_.open(target);
        });
    }
    AddInternetMenu(bar, links_);
    AddExplorerMenus(bar, links_);
    AddAppsMenu(bar, "Gridhub", links_);
    QStringList stats;
    for (const std::string& caption : gridhub::MyStatsCaptions(links_.dataFolder)) stats << Q(caption);
    const std::vector<QAction*> entries = AddOpenMenu(bar, "MyStats", "MnuStats", "MnusStats_", stats, 1, links_);
    // A shortcut of the maintainer's own machine: shown, but not for use here.
    entries[gridhub::kMyStatsShortcutEntry - 1]->setEnabled(false);
}

// ---------------------------------------------------------------- start

bool GridhubWindow::start(const std::string& commandLine) {
    PlaceOnScreen(this);
    image_->setPixmap(windowIcon().pixmap(kBoxSize - 8, kBoxSize - 8));
    drawProgramIcons();
    const QStringList letters = {"S", "K", "R"};
    for (int i = 0; i < 3; ++i) searchBoxes_[i]->setPixmap(SearchPicture(letters[i], style()));
    if (commandLine == "FULL_AUTO") {
        fullAuto_ = true;
        // The programs it starts would each fail on their own, unseen: say
        // once, before starting any, what is missing.
        std::error_code ec;
        if (!fs::is_directory(links_.dataFolder, ec)) {
            links_.messages().critical(links_.dataFolder.string() + " Not found (the data folder): nothing started");
            failed_ = true;
            close();
            return false;
        }
        // Pulsegrid, Lockgrid and Rosterbase read Pingers.lst: without it
        // nothing is started.
        const fs::path list = links_.dataFolder / "Pingers.lst";
        if (!fs::is_regular_file(list, ec)) {
            links_.messages().critical(list.string() + " Not found: nothing started");
            failed_ = true;
            close();
            return false;
        }
        // Only Rosterbase reads PingersBad.lst (empty will do): the
        // comparers' pages are still made, and Rosterbase says its own word.
        const fs::path bad = links_.dataFolder / "PingersBad.lst";
        if (!fs::is_regular_file(bad, ec)) {
            links_.messages().critical(bad.string() + " Not found: Pingers.html is not written");
            failed_ = true;
            exitStatus_ = std::max(exitStatus_, 1);
        }
        if (WaitRequested())
            hyperAndWait();
        else
            hyper();
        close();
        return false;
    }
    ShowAsAsked(this);
    return true;
}

void GridhubWindow::drawProgramIcons() {
    for (std::size_t i = 0; i < programBoxes_.size(); ++i) {
        const std::string file = gridhub::kLaunchTable[i].file;
        // A program that is not there gets no icon.
        if (FindSuiteProgram(links_.programFolder, file).empty()) {
            programBoxes_[i]->clear();
            continue;
        }
        const std::string program = file.substr(0, file.size() - 4);
        programBoxes_[i]->setPixmap(SuiteIcon(program).pixmap(kBoxSize - 8, kBoxSize - 8));
    }
}

// ---------------------------------------------------------------- programs

bool GridhubWindow::launch(int index) {
    const bool ok =
        StartSuiteProgram(links_, gridhub::kLaunchTable[index].file, gridhub::LaunchArguments(ValueOf(checks_[index])),
                          fullAuto_ ? kShowMinimized : kShowNormal);
    if (!ok) {
        failed_ = true;
        exitStatus_ = std::max(exitStatus_, 1);
    }
    return ok;
}

bool GridhubWindow::hyper() {
    bool all = true;
    for (int index : gridhub::kHyperPrograms) all = launch(index) && all;
    return all;
}

void GridhubWindow::hyperAndWait() {
    struct Started {
        std::string what;  // "Pulsegrid FULL_AUTO"
        pid_t pid;
    };
    std::vector<Started> started;
    for (int index : gridhub::kHyperPrograms) {
        const gridhub::LaunchEntry& entry = gridhub::kLaunchTable[index];
        const std::string arguments = gridhub::LaunchArguments(ValueOf(checks_[index]));
        // Started as the programs of any run are, as children of this one.
        pid_t pid = -1;
        SuiteLinks children = links_;
        children.start = [&pid](const std::string& commandLine, short style) {
            pid = StartChild(commandLine, style);
            return pid > 0;
        };
        if (!StartSuiteProgram(children, entry.file, arguments, kShowMinimized)) {
            exitStatus_ = std::max(exitStatus_, 1);
            continue;
        }
        started.push_back({SuiteProgramPath({}, entry.file).string() + arguments, pid});
    }
    // The night is over when every program it started has ended, Pulsegrid
    // having waited for its Flaggrid.
    for (const Started& program : started) {
        const int status = WaitForStarted(program.pid);
        // Ended by the signal passed on to it: this program ends by it too.
        if (ExitStatusOf(status) == 0 || SignalPending()) continue;
        exitStatus_ = std::max(exitStatus_, ExitStatusOf(status));
        links_.messages().critical(program.what + " " + DescribeEnd(status));
    }
    if (exitStatus_ != 0) failed_ = true;
}

void GridhubWindow::hyperAndClose() {
    hyper();
    close();
}

// ---------------------------------------------------------------- browsing

Area GridhubWindow::area() const {
    for (std::size_t i = 0; i < areas_.size(); ++i)
        if (areas_[i]->isChecked()) return static_cast<Area>(i);
    return Area::None;
}

int GridhubWindow::outputStyle() const {
    for (std::size_t i = 0; i < styles_.size(); ++i)
        if (styles_[i]->isChecked()) return static_cast<int>(i);
    return 0;
}

void GridhubWindow::selectOutputNone() { styles_[0]->setChecked(true); }

void GridhubWindow::chooseArea(Area chosen) {
    selectOutputNone();
    types_->clear();
    if (chosen == Area::None) {
        files_->clear();
        showFileInfo("");
        return;
    }
    for (const std::string& type : gridhub::TypeChoices(chosen)) types_->addItem(Q(type));
    types_->setCurrentIndex(0);
    chooseType();
}

void GridhubWindow::chooseType() {
    files_->clear();
    showFileInfo("");
    selectOutputNone();
    for (const std::string& name : gridhub::ListFiles(links_.dataFolder, area(), types_->currentText().toStdString()))
        files_->addItem(Q(name));
    if (files_->count() == 0) return;  // nothing chosen, nothing opened
    files_->setCurrentIndex(0);
    chooseFile();
}

void GridhubWindow::chooseFile(bool open) {
    if (files_->currentIndex() < 0) {
        showFileInfo("");
        return;
    }
    const fs::path path = links_.dataFolder / files_->currentText().toStdString();
    showFileInfo(Q(gridhub::FileTooltip(path)));
    if (!open) return;
    switch (outputStyle()) {
        case 1:
            if (!links_.start("EditPad.exe \"" + path.string() + "\"", kShowMaximized))
                links_.messages().critical(path.string() + " cannot be opened: no program to open it was found");
            break;
        case 2:
            links_.open(Q(path.string()));
            break;
        default:
            break;
    }
}

void GridhubWindow::showFileInfo(const QString& text) {
    files_->setToolTip(text);
    fileInfo_->setText(text);
}

void GridhubWindow::chooseOutputStyle(int style) {
    styles_[style]->setChecked(true);
    chooseFile();
}

}  // namespace parlux
