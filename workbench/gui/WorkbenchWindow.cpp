#include "workbench/gui/WorkbenchWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <system_error>

#include "common/core/Files.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/Opener.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/QtText.h"
#include "workbench/PingerSteps.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

constexpr const char* kDumpBoxTooltip = "Double-Click to View Dump";

// One action, one key in the three comparers. Pulsegrid's captions hold
// just as many letters as it has captions, so that one of them has to take
// the g of "Pingers", with its tail.
const WantedKeys& ComparerKeys() {
    static const WantedKeys keys = {
        {"S U P E R", 'U'},   {"RESET", 'R'},       {"H Y P", 'Y'},       {"Pingers.html", 'H'}, {"LOA_Pingers", 'L'},
        {"SRT_Pingers", 'G'}, {"LOA_Pingeds", 'D'}, {"SRT_Pingeds", 'N'}, {"PRT_Compil", 'C'},   {"FIX_LfToCrLf", 'F'},
    };
    return keys;
}

constexpr const char* kHyperQuestion =
    "HYPER FULL_AUTO: every type, then the window closes (as a double-click on the picture does). Start it?";

}  // namespace

bool DesktopLauncher::start(const std::string& commandLine, short showStyle) {
    return StartOrOpen(nullptr, commandLine, showStyle, messages_);
}

int DesktopLauncher::startAndWait(const std::string& commandLine, short showStyle) {
    return StartAndWait(commandLine, showStyle);
}

// ---------------------------------------------------------------- building

WorkbenchWindow::WorkbenchWindow(WorkbenchCore& core, QWidget* parent)
    : QMainWindow(parent), core_(core), d_(core.description()) {
    opener_ = [this](const QString& target) { ShellOpen(this, target, &core_.messages()); };
    links_.open = [this](const QString& target) { opener_(target); };
    links_.start = [this](const std::string& commandLine, short style) {
        return core_.launcher().start(commandLine, style);
    };
    links_.messages = [this]() -> MessageSink& { return core_.messages(); };
    links_.programFolder = core_.programFolder();
    links_.dataFolder = core_.dataFolder();
    links_.meFolder = core_.meFolder();
    setObjectName(Q("frm_" + d_.program));
    setWindowTitle(Q(d_.caption));
    setWindowIcon(SuiteIcon(d_.program));

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(buildActions(), 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addWidget(buildDebug());
    right->addWidget(buildView());
    auto* choiceRow = new QHBoxLayout;
    image_ = new QLabel(central);
    image_->setObjectName("Image1");
    image_->setToolTip(Q(d_.imageTooltip));
    image_->setFixedSize(56, 56);
    image_->setAlignment(Qt::AlignCenter);
    image_->setFrameShape(QFrame::StyledPanel);
    doubleClicks_.onAsking(
        image_, [this] { hyperAndClose(); }, [this] { return core_.messages().ask(kHyperQuestion); });
    QGroupBox* choice = buildChoice();
    choiceRow->addWidget(choice, 1);
    if (d_.imageInChoiceFrame)
        choice->layout()->addWidget(image_);
    else
        choiceRow->addWidget(image_, 0, Qt::AlignBottom);
    right->addLayout(choiceRow);
    right->addStretch(1);
    top->addLayout(right, 1);
    outer->addLayout(top, 1);

    // The feedback lines stay in sight below what scrolls.
    auto* footer = new QWidget;
    auto* lines = new QVBoxLayout(footer);
    lines->setContentsMargins(8, 0, 8, 8);
    lines->setSpacing(6);
    feedbackTop_ = new QLineEdit(footer);
    feedbackTop_->setObjectName("txt_FeedBackT");
    feedbackDetail_ = new QLineEdit(footer);
    feedbackDetail_->setObjectName("txt_FeedBackD");
    for (QLineEdit* line : {feedbackTop_, feedbackDetail_}) {
        line->setReadOnly(true);
        line->setFocusPolicy(Qt::NoFocus);
        lines->addWidget(line);
    }
    QFont topFont = feedbackTop_->font();
    topFont.setBold(true);
    feedbackTop_->setFont(topFont);

    SetScrollableCentralWidget(this, central, footer);
    buildMenus();
    if (auto* transfer = findChild<QPushButton*>("cmd_TFR")) actionControls_.push_back(transfer);
    DriveByKeyboard(this, ComparerKeys());

    // Show the core's state as it stands.
    for (const auto& [name, box] : boxes_) box->setText(Q(core_.box(name)));
    if (core_.chosenType() >= 0) typeChosen(core_.chosenType());
    choiceEnabledChanged(core_.choiceEnabled());
    // The first focus starts nothing when Enter comes: the type choice, or
    // (a comparer of one type) the first view button.
    QWidget* first = options_.empty() ? static_cast<QWidget*>(viewButtons_.front()) : options_.front();
    first->setFocus(Qt::OtherFocusReason);
    core_.setView(this);
    // Transfers wait with the window's events running.
    previousPump_ = SetWaitPump([this] { return pumpEvents(); });
}

WorkbenchWindow::~WorkbenchWindow() {
    SetWaitPump(std::move(previousPump_));
    core_.setView(nullptr);
}

QPushButton* WorkbenchWindow::button(const QString& name, const QString& caption, const std::string& tooltip,
                                     std::function<void()> onClick) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    if (!tooltip.empty()) b->setToolTip(Q(tooltip));
    b->setAutoDefault(false);
    if (onClick) connect(b, &QPushButton::clicked, this, [this, onClick = std::move(onClick)] { act(onClick); });
    actionControls_.push_back(b);
    return b;
}

QLineEdit* WorkbenchWindow::resultBox(const std::string& name, const std::string& tooltip,
                                      std::function<void()> onDoubleClick) {
    auto* box = new QLineEdit;
    box->setObjectName(Q(name));
    box->setReadOnly(true);
    box->setToolTip(Q(tooltip));
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(64);
    doubleClicks_.on(box, [this, onDoubleClick = std::move(onDoubleClick)] { guarded(onDoubleClick); });
    boxes_[name] = box;
    return box;
}

QGroupBox* WorkbenchWindow::buildActions() {
    auto* frame = new QGroupBox("Actions");
    frame->setObjectName("FrameA");
    auto* grid = new QGridLayout(frame);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(6);

    int row = 0;
    auto* super = button("cmd_SUPER", "S U P E R", d_.superTooltip, [this] { core_.SUPER(); });
    QFont bold = super->font();
    bold.setBold(true);
    super->setFont(bold);
    grid->addWidget(super, row++, 0, 1, 2);

    for (const ActionDef& action : d_.actions) {
        const std::string name = action.name;
        auto* b = button(Q("cmd_" + name), Q(name), action.tooltip, [this, name] { core_.press(name); });
        b->setMinimumWidth(132);
        grid->addWidget(b, row, 0);
        if (action.result != ResultKind::None) {
            QLineEdit* box;
            if (action.dumpTable >= 0) {
                const int table = action.dumpTable;
                // Saving the dump is an action of its own; viewing one is not.
                box = resultBox("txt_" + name, d_.resultBoxTooltip,
                                [this, table] { act([this, table] { core_.saveAndViewDump(table); }); });
            } else {
                box = resultBox("txt_" + name, d_.prtBoxTooltip, [this] { core_.viewOutput(); });
            }
            grid->addWidget(box, row, 1);
        }
        ++row;
    }

    auto* reset = button("cmd_RESET", "RESET", d_.resetTooltip, [this] { core_.RESET(); });
    reset->setFont(bold);
    grid->addWidget(reset, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    return frame;
}

QGroupBox* WorkbenchWindow::buildDebug() {
    auto* frame = new QGroupBox("Debug Utilities");
    frame->setObjectName("FrameD");
    auto* grid = new QGridLayout(frame);
    grid->setVerticalSpacing(3);
    for (int t = 0; t < static_cast<int>(d_.tables.size()); ++t) {
        const std::string& name = d_.tables[t].name;
        auto* label = new QLabel(Q(name));
        label->setObjectName(Q("lbl_DMP_" + name));
        grid->addWidget(label, t, 0);
        grid->addWidget(resultBox("txt_DMP_" + name, kDumpBoxTooltip, [this, t] { core_.viewDump(t); }), t, 1);
        auto* save = button(Q("cmd_SAV_" + name), "SAV", "", [this, t] { core_.save(t); });
        auto* restore = button(Q("cmd_RST_" + name), "RST", "", [this, t] { core_.restore(t); });
        save->setFixedWidth(52);
        restore->setFixedWidth(52);
        grid->addWidget(save, t, 2);
        grid->addWidget(restore, t, 3);
    }
    grid->setColumnStretch(0, 1);
    return frame;
}

QGroupBox* WorkbenchWindow::buildView() {
    return BuildViewFrame(
        {{"Pingers.lst", 0, 0},
         {"index.html", 1, 0},
         {"Pingers.lst", 0, 2},
         {"index.html", 1, 2},
         {"Pingers.html", 2, 2}},
        links_, [this] { act([this] { copyToDataFolder(); }); }, viewButtons_);
}

QGroupBox* WorkbenchWindow::buildChoice() {
    auto* frame = new QGroupBox(Q(d_.choiceCaption));
    frame->setObjectName("FrameC");
    choiceFrame_ = frame;
    auto* layout = new QGridLayout(frame);
    layout->setVerticalSpacing(3);
    const int types = static_cast<int>(d_.types.size());
    for (int i = 0; i < types; ++i) {
        auto* option = new QRadioButton(Q(d_.types[i].caption));
        option->setObjectName(QString("Option1_%1").arg(i + 1));
        option->setToolTip(Q(d_.types[i].code));
        // clicked, not toggled: the core's own choice (HYPER) only updates the mark.
        connect(option, &QRadioButton::clicked, this, [this, i] { act([this, i] { core_.chooseType(i); }); });
        options_.push_back(option);
        layout->addWidget(option, i / 2, i % 2);
    }
    auto* buttons = new QHBoxLayout;
    auto* hyper = button("cmd_HYPER", "H Y P", d_.hyperTooltip, [this] { core_.HYPER(); });
    QFont bold = hyper->font();
    bold.setBold(true);
    hyper->setFont(bold);
    buttons->addWidget(hyper, 1);
    if (!d_.followUpProgram.empty()) {
        auto* followUp =
            button(Q("cmd_" + Upper(d_.followUpProgram)), "+", d_.followUpTooltip, [this] { core_.startFollowUp(); });
        followUp->setFixedWidth(40);
        buttons->addWidget(followUp);
    }
    layout->addLayout(buttons, (types + 1) / 2, 0, 1, 2);
    return frame;
}

void WorkbenchWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    viewEntries_ = AddOpenMenu(
        bar, "View", "MnuView", "MnusView_",
        {"Pingers.lst", "index.html", "Work/Pingers.lst", "Work/index.html", "Work/Pingers.html"}, 1, links_);
    AddInternetMenu(bar, links_);
    AddExplorerMenus(bar, links_);
    AddAppsMenu(bar, d_.program, links_);
}

// ---------------------------------------------------------------- start-up

void WorkbenchWindow::centre() { PlaceOnScreen(this); }

void WorkbenchWindow::setViewCaptions() {
    // The tooltips are the paths themselves: an "&" in a folder's name is
    // part of the path, not the mark of a key.
    const QStringList targets = {"Pingers.lst", "index.html", Q((core_.dataFolder() / "Pingers.lst").string()),
                                 Q((core_.dataFolder() / "index.html").string()),
                                 Q((core_.dataFolder() / "Pingers.html").string())};
    for (std::size_t i = 0; i < viewEntries_.size(); ++i) viewEntries_[i]->setText(targets[static_cast<qsizetype>(i)]);
    for (std::size_t i = 0; i < viewButtons_.size(); ++i)
        viewButtons_[i]->setToolTip(targets[static_cast<qsizetype>(i)]);
    GiveAccessKeys(this);
}

void WorkbenchWindow::showIcon() { image_->setPixmap(windowIcon().pixmap(48, 48)); }

void WorkbenchWindow::hyperAndClose() {
    if (running_) return;
    act([this] { core_.HYPER(); });
    close();
}

void WorkbenchWindow::act(const std::function<void()>& action) {
    // A click queued or made while the window waits inside a step would
    // otherwise run a whole action inside the one in progress.
    if (running_ || closeRequested_) return;
    {
        // Greyed meanwhile, the button that started it hands the focus on.
        const FocusReturn focus(this);
        running_ = true;
        showRunning(true);
        guarded(action);
        running_ = false;
        showRunning(false);
    }
    if (closeRequested_) close();
}

void WorkbenchWindow::showRunning(bool running) {
    for (QWidget* control : actionControls_) control->setEnabled(!running);
    choiceFrame_->setEnabled(!running && core_.choiceEnabled());
    busyChanged(running);
}

bool WorkbenchWindow::pumpEvents() {
    applyLines();
    QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs);
    frameClock_.restart();
    paintedTop_ = pendingTop_;
    return !closeRequested_;
}

void WorkbenchWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        // Nothing is cut off half-written: the transfers in flight are given
        // up (old copies kept), the step in progress ends, no other starts.
        closeRequested_ = true;
        core_.abandon();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void WorkbenchWindow::guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        // A step that cannot go on (the run log cannot be written, say) ends
        // here, reported, instead of taking the program down with it.
        failed_ = true;
        core_.messages().critical(e.what());
    }
}

// ---------------------------------------------------------------- actions

void WorkbenchWindow::copyToDataFolder() {
    CopyFilesOver(core_.meFolder(), core_.dataFolder(), {"Pingers.lst", "index.html"}, core_.messages());
}

// ---------------------------------------------------------------- the core's view

void WorkbenchWindow::boxChanged(const std::string& box, const std::string& text) {
    auto it = boxes_.find(box);
    if (it != boxes_.end()) it->second->setText(Q(text));
}

void WorkbenchWindow::choiceEnabledChanged(bool enabled) { choiceFrame_->setEnabled(enabled && !running_); }

void WorkbenchWindow::typeChosen(int index) {
    if (index >= 0 && index < static_cast<int>(options_.size())) options_[index]->setChecked(true);
}

void WorkbenchWindow::busyChanged(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

// ---------------------------------------------------------------- feedback

// With a display the boxes always hold the current lines; headless nobody
// sees them, and they are set only when events run. Painting and events come
// at most once per screen frame: a line costs far less than a frame, and a
// repaint per line kept long steps busy drawing.
void WorkbenchWindow::showLines(const std::string& top, const std::string& detail) {
    pendingTop_ = top;
    pendingDetail_ = detail;
    linesPending_ = true;
    if (!headless_) applyLines();
}

void WorkbenchWindow::applyLines() {
    if (!linesPending_) return;
    linesPending_ = false;
    // A progress line too long for its box keeps its count and loses names
    // of the pingers waited for, from the middle.
    const QLineEdit* detailBox = feedbackDetail_;
    const auto fits = [detailBox](const std::string& text) {
        const int room = detailBox->contentsRect().width() - 8;  // the box's own margins
        return detailBox->fontMetrics().horizontalAdvance(Q(text)) <= room;
    };
    const std::string detail = headless_ ? pendingDetail_ : ShortenWaitingLine(pendingDetail_, fits);
    for (auto [box, text] : {std::pair<QLineEdit*, const std::string*>{feedbackTop_, &pendingTop_},
                             std::pair<QLineEdit*, const std::string*>{feedbackDetail_, &detail}}) {
        const QString line = Q(*text);
        if (box->text() == line) continue;
        box->setText(line);
        box->setCursorPosition(0);
    }
}

void WorkbenchWindow::pause(int milliseconds) {
    // The line waited on shows for the whole pause.
    applyLines();
    if (!headless_) repaint();
    QElapsedTimer timer;
    timer.start();
    for (qint64 left = milliseconds; left > 0; left = milliseconds - timer.elapsed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(left));
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 10)));
    }
    frameClock_.restart();
}

void WorkbenchWindow::processEvents() {
    // Lines of one busy burst may merge, but a new step's line is painted at
    // once: the step may wait, and an older line must not stand meanwhile.
    constexpr qint64 kFrameMs = 16;
    if (frameClock_.isValid() && frameClock_.elapsed() < kFrameMs && pendingTop_ == paintedTop_) return;
    applyLines();
    QCoreApplication::processEvents();  // paints what changed, once
    frameClock_.restart();
    paintedTop_ = pendingTop_;
}

void WorkbenchWindow::logged(const std::string& record) {
    if (!echoRecords_) return;
    // One log may gather the lines of several programs at once: each says whose it is.
    const std::string head = d_.program + ": ";
    std::fwrite(head.data(), 1, head.size(), stdout);
    std::fwrite(record.data(), 1, record.size(), stdout);
    std::fputc('\n', stdout);
    // The log has every record at once; the copy on stdout goes out when an
    // action starts or ends (before any long silence) and at least every frame.
    if (pendingTop_ != echoedTop_ || !echoClock_.isValid() || echoClock_.elapsed() >= 16) {
        std::fflush(stdout);
        echoedTop_ = pendingTop_;
        echoClock_.restart();
    }
}

}  // namespace parlux
