#include "probes/FetchprobeWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "common/core/LfToCrLf.h"
#include "common/core/PingersList.h"
#include "common/core/Transfers.h"
#include "common/core/UrlToFile.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/SuiteWindow.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

// Without a type 2 key list in Pingers.lst the window opens with no address;
// the box then shows the form of one.
constexpr const char* kUrlHint = "http://pinger.example/stats/type2.list";

// The address of the first pinger's published type 2 key list; "" when the
// data folder's Pingers.lst names none (or cannot be read).
std::string FirstTypeTwoList(const fs::path& dataFolder) {
    if (dataFolder.empty()) return {};
    const auto list = ReadPingersList(dataFolder / "Pingers.lst");
    if (!list) return {};
    for (const PingerRecord& record : list->records)
        if (record.type == "K-TY2" && !record.url.empty()) return record.url;
    return {};
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}
constexpr const char* kInitialWorkFile = "Work/www.tmp";

[[noreturn]] void WorkFileError(const fs::path& path, int error) {
    throw fs::filesystem_error("cannot write the work file", path, std::error_code(error, std::generic_category()));
}

// A work file in a folder that is not there cannot be written: said as such
// rather than left to look like a failed download.
void CheckFolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::is_directory(folder, ec)) WorkFileError(path, ENOENT);
}

}  // namespace

FetchprobeWindow::FetchprobeWindow(SuiteLinks links, QWidget* parent) : QMainWindow(parent), links_(std::move(links)) {
    NameSuiteWindow(this, "Fetchprobe", "Test: URL To File");

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);  // the style's own margins and spacing

    auto* urlLabel = new QLabel("URL:");
    urlLabel->setObjectName("lbl_URL");
    url_ = new QLineEdit(QString::fromStdString(FirstTypeTwoList(links_.dataFolder)));
    url_->setPlaceholderText(kUrlHint);
    url_->setObjectName("txt_URL");
    url_->setMinimumWidth(460);
    auto* workLabel = new QLabel("Work File:");
    workLabel->setObjectName("lbl_WorkFile");
    workFile_ = new QLineEdit(kInitialWorkFile);
    workFile_->setObjectName("txt_WorkFile");
    urlLabel->setBuddy(url_);
    workLabel->setBuddy(workFile_);
    // Enter in either box runs the window's main action, GO_F.
    doubleClicks_.on(
        url_, [this] { links_.open(url_->text()); }, false);
    doubleClicks_.on(
        workFile_, [this] { editWork(); }, false);
    for (QLineEdit* box : {url_, workFile_})
        connect(box, &QLineEdit::returnPressed, this, [this] { guarded(true, [this] { goFile(); }); });

    grid->addWidget(urlLabel, 0, 0);
    grid->addWidget(url_, 0, 1);
    grid->addWidget(workLabel, 1, 0);
    grid->addWidget(workFile_, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const auto add = [&](const char* name, const char* caption, const char* tooltip, std::function<void()> onClick,
                         int width) {
        auto* b = new QPushButton(caption);
        b->setObjectName(name);
        b->setToolTip(tooltip);
        b->setAutoDefault(false);
        if (width > 0) b->setFixedWidth(width);
        connect(b, &QPushButton::clicked, this, std::move(onClick));
        buttons->addWidget(b);
        return b;
    };
    actions_ = {
        add(
            "cmd_GO_S", "GO_S", "Using the \"String\" routine", [this] { guarded(true, [this] { goString(); }); }, 0),
        add(
            "cmd_GO_F", "GO_F", "Using the \"File\" routine", [this] { guarded(true, [this] { goFile(); }); }, 0),
        add(
            "cmd_GO_Plim", "GO_Plim", "Using the \"LfToCrLf\" routine",
            [this] { guarded(false, [this] { goPlim(); }); }, 0),
        add(
            "cmd_DEL", "DEL", "Delete the Work File", [this] { guarded(false, [this] { deleteWork(); }); }, 0)};
    buttons->addSpacing(16);
    add(
        "cmd_NotePad", "N", "View (Using Notepad)", [this] { editWork(); }, 32);
    add(
        "cmd_HEdit", "H", "View (Using HEdit)", [this] { hexEditWork(); }, 32);
    buttons->addStretch(1);
    grid->addLayout(buttons, 2, 1);
    grid->setRowStretch(3, 1);
    SetScrollableCentralWidget(this, central);
    // A download waits with the window's events running; closing gives it up.
    previousPump_ = SetWaitPump([this] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs);
        return !closeRequested_;
    });

    QMenu* explore = menuBar()->addMenu("Explore");
    explore->setObjectName("MnuExplore");
    QMenu* view = menuBar()->addMenu("View");
    view->setObjectName("MnuView");
    const QString me = QString::fromStdString(links_.programFolder.string());
    const std::tuple<QMenu*, const char*, const char*, std::function<void()>> entries[] = {
        {explore, "MnusExplore_1", "Explore1", [this, me] { links_.open(me); }},
        {explore, "MnusExplore_2", "Explore2", [this, me] { links_.open(me); }},
        {view, "MnusView_1", "NotePad", [this] { editWork(); }},
        {view, "MnusView_2", "Hedit", [this] { hexEditWork(); }},
    };
    for (const auto& [menu, name, caption, action] : entries) {
        QAction* entry = menu->addAction(caption);
        entry->setObjectName(name);
        connect(entry, &QAction::triggered, this, action);
    }
    DriveByKeyboard(this);
}

std::string FetchprobeWindow::url() const { return url_->text().toStdString(); }
fs::path FetchprobeWindow::workFile() const { return fs::path(workFile_->text().toStdString()); }

FetchprobeWindow::~FetchprobeWindow() { SetWaitPump(std::move(previousPump_)); }

void FetchprobeWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The download in flight ends at once; the window closes when it has.
        closeRequested_ = true;
        abandoned_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void FetchprobeWindow::guarded(bool busy, const std::function<void()>& action) {
    if (running_) return;
    running_ = true;
    // Greyed meanwhile, the button that started it hands the focus on.
    const FocusReturn focus(this);
    for (QPushButton* b : actions_) b->setEnabled(false);
    struct Done {
        FetchprobeWindow* window;
        ~Done() {
            window->running_ = false;
            for (QPushButton* b : window->actions_) b->setEnabled(true);
            if (window->closeRequested_) window->close();
        }
    } done{this};
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        action();
    } catch (const fs::filesystem_error& e) {
        if (busy) QApplication::restoreOverrideCursor();
        busy = false;
        links_.messages().critical("Error " + std::to_string(e.code().value()) + ": " + e.code().message() + "\n" +
                                   e.path1().string());
    }
    if (busy) QApplication::restoreOverrideCursor();
}

void FetchprobeWindow::goString() {
    const std::string address = url();
    const fs::path path = workFile();
    // The work file is made before the fetch: it is there even when nothing
    // comes, and one that cannot be written is said before anything is asked.
    // It is emptied only once the fetch has ended: a fetch given up (the
    // window closed) leaves it as it was.
    const bool existed = IsFile(path);
    std::FILE* out = std::fopen(path.c_str(), "ab");
    if (!out) WorkFileError(path, errno);
    const std::string text = UrlToText(address) + "\r\n";
    if (closeRequested_) {
        std::fclose(out);
        std::error_code ec;
        if (!existed) fs::remove(path, ec);
        return;
    }
    out = std::freopen(path.c_str(), "wb", out);
    if (!out) WorkFileError(path, errno);
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const int error = errno;
    if (std::fclose(out) != 0 || !written) WorkFileError(path, written ? errno : error);
}

void FetchprobeWindow::goFile() {
    const std::string address = url();
    const fs::path path = workFile();
    CheckFolderOf(path);
    const bool existed = IsFile(path);
    // UrlToFile's transfer, with its reason kept: a work file left as it was
    // says why.
    const TransferResult result = RunTransfers({TransferRequest{address, TransferMode::File, path}}, 1).front();
    if (result.ok) return;
    std::error_code ec;
    if (closeRequested_) {
        // Given up by closing the window: nothing to say, nothing left behind.
        if (!existed && fs::is_regular_file(path, ec) && fs::file_size(path, ec) == 0) fs::remove(path, ec);
        return;
    }
    const bool kept = fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
    links_.messages().critical(address + " not downloaded: " + result.error + "; " + path.string() +
                               (kept ? " left as it was" : " holds nothing"));
}

void FetchprobeWindow::goPlim() {
    std::int32_t length = 0, firstLine = 0;  // not shown
    LfToCrLf(workFile(), length, firstLine, links_.messages());
}

void FetchprobeWindow::deleteWork() {
    // A file only: a folder (even an empty one) or a link of that name stays.
    const fs::path path = workFile();
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(path, ec))) fs::remove(path, ec);  // no file, no matter
}

void FetchprobeWindow::editWork() { openWork("EditPad.exe "); }

void FetchprobeWindow::hexEditWork() { openWork("HEdit.exe "); }

void FetchprobeWindow::openWork(const std::string& editor) {
    // Nothing a person asks to see opens silently nothing (the opener's own
    // failure is told by the opener's watch).
    if (!links_.start(editor + workFile().string(), kShowNormal))
        links_.messages().critical(workFile().string() + " cannot be opened: no program to open it was found");
}

}  // namespace parlux
