#include "common/desktop/SuiteWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QSvgRenderer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>
#include <system_error>
#include <tuple>

#include "common/core/DataFolder.h"
#include "common/core/DataFolderLock.h"
#include "common/core/Process.h"
#include "common/core/ScratchFiles.h"
#include "common/core/SiteConfig.h"
#include "common/core/StandardDescriptors.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/core/SuitePrograms.h"
#include "common/core/TextFields.h"
#include "common/core/WaitedRun.h"
#include "common/desktop/CommandLine.h"
#include "common/desktop/Headless.h"
#include "common/desktop/Keyboard.h"
#include "common/desktop/Opener.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/QtMessages.h"
#include "common/desktop/QtText.h"

namespace parlux {

namespace fs = std::filesystem;

namespace {

QString IconResource(const std::string& program) {
    QString name = Q(program).toLower();
    if (name.endsWith(QLatin1String(".exe"))) name.chop(4);
    return QStringLiteral(":/parlux/icons/parlux-") + name + QStringLiteral(".svg");
}

// A scroll area that asks for the whole of its content, not for a bounded
// part of it: the window decides how much of that the screen allows.
class FittingScrollArea final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int f = 2 * frameWidth();
        return widget()->sizeHint().expandedTo(widget()->minimumSizeHint()) + QSize(f, f);
    }
};

}  // namespace

// ---------------------------------------------------------------- menus

void OpenNamed(const SuiteLinks& links, const QString& target) {
    if (IsLocalTarget(target) && !EndsWithExe(target.toStdString())) {
        const bool bare = !target.contains(u'/') && !target.contains(u'\\');
        const fs::path path = bare ? links.me() / target.toStdString() : fs::path(target.toStdString());
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            // The desktop's opener would show nothing at all.
            links.messages().critical(path.string() + " Not found");
            return;
        }
    }
    links.open(target);
}

std::vector<QAction*> AddOpenMenu(QMenuBar* bar, const QString& title, const QString& menuName,
                                  const QString& entryPrefix, const QStringList& captions, int firstIndex,
                                  const SuiteLinks& links) {
    QMenu* menu = bar->addMenu(title);
    menu->setObjectName(menuName);
    std::vector<QAction*> entries;
    for (int i = 0; i < captions.size(); ++i) {
        const bool separator = captions[i] == QLatin1String("-");
        QAction* entry = separator ? menu->addSeparator() : menu->addAction(captions[i]);
        entry->setObjectName(entryPrefix + QString::number(firstIndex + i));
        if (!separator)
            QObject::connect(entry, &QAction::triggered, menu,
                             [links, entry] { OpenNamed(links, PlainCaption(entry->text())); });
        entries.push_back(entry);
    }
    return entries;
}

void AddInternetMenu(QMenuBar* bar, const SuiteLinks& links) {
    const site::SiteConfig& config = site::Current();
    QStringList mirrors;
    for (const std::string& mirror : config.mirrors) mirrors << QString::fromStdString(mirror);
    const std::vector<QAction*> entries =
        AddOpenMenu(bar, "Internet", "MnuInternet", "MnusInternet_", mirrors, 1, links);
    // A maintainer's Parlux.conf names the mirrors there are: an example.org
    // address in their menu would lead nowhere.
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i]->setVisible(config.offersMirror(i));
}

void AddExplorerMenus(QMenuBar* bar, const SuiteLinks& links) {
    const std::pair<const char*, const char*> explorers[] = {{"MnuExplore", "Explorer1"}, {"MnuExplorer", "Explorer2"}};
    const QString me = Q(links.me().string());
    const QString work = Q(links.dataFolder.string());
    for (int m = 0; m < 2; ++m) {
        QMenu* menu = bar->addMenu(explorers[m].second);
        menu->setObjectName(explorers[m].first);
        const QString prefix = QString("MnusExplorer%1_").arg(m + 1);
        for (const auto& [index, caption, folder] : {std::tuple{1, "Me", me}, std::tuple{2, "Work", work}}) {
            QAction* entry = menu->addAction(caption);
            entry->setObjectName(prefix + QString::number(index));
            QObject::connect(entry, &QAction::triggered, menu, [links, target = folder] { OpenNamed(links, target); });
        }
    }
}

void AddAppsMenu(QMenuBar* bar, const std::string& self, const SuiteLinks& links) {
    QMenu* apps = bar->addMenu("Apps");
    apps->setObjectName("MnuApps");
    const std::string own = self + ".exe";
    const std::vector<std::string> captions = AppsMenuCaptions();
    for (std::size_t i = 0; i < captions.size(); ++i) {
        const std::string& caption = captions[i];
        QAction* entry = caption == "-" ? apps->addSeparator() : apps->addAction(Q(caption));
        entry->setObjectName(QString("MnusApps_%1").arg(i));
        if (caption == "-") continue;
        if (caption == own) {
            entry->setCheckable(true);
            entry->setChecked(true);
            entry->setEnabled(false);
        } else {
            QObject::connect(entry, &QAction::triggered, apps,
                             [links, caption] { StartSuiteProgram(links, caption, "", kShowNormal); });
        }
    }
}

bool StartSuiteProgram(const SuiteLinks& links, const std::string& fileName, const std::string& arguments,
                       short showStyle) {
    const fs::path path = links.programFolder / fileName;
    if (links.start(Quoted(path.string()) + arguments, showStyle)) return true;
    // Name the file the user should look at: the one that is there but would
    // not start, or the one that is missing.
    std::error_code ec;
    const fs::path bare = SuiteProgramPath(links.programFolder, fileName);
    if (fs::exists(path, ec) && path != bare)
        links.messages().critical(path.string() + " cannot be started");
    else if (fs::exists(bare, ec))
        links.messages().critical(bare.string() + " cannot be started");
    else
        links.messages().critical(bare.string() + " Not found");
    return false;
}

// ---------------------------------------------------------------- view frame

QGroupBox* BuildViewFrame(const std::vector<ViewButtonPlace>& places, const SuiteLinks& links,
                          std::function<void()> transfer, std::vector<QPushButton*>& buttons) {
    auto* frame = new QGroupBox("View");
    frame->setObjectName("FrameV");
    auto* grid = new QGridLayout(frame);
    grid->setVerticalSpacing(3);
    int rows = 0, columns = 0;
    for (const ViewButtonPlace& place : places) {
        rows = std::max(rows, place.row + 1);
        columns = std::max(columns, place.column + 1);
    }
    // The program folder's copies on the left, the data folder's on the
    // right, the copy button between them.
    for (const auto& [column, span, title] :
         {std::tuple{0, 1, "Me"}, std::tuple{2, std::max(1, columns - 2), "Work"}}) {
        auto* heading = new QLabel(title);
        heading->setAlignment(Qt::AlignCenter);
        heading->setEnabled(false);  // drawn greyed: a heading, not a control
        grid->addWidget(heading, 0, column, 1, span);
    }
    for (std::size_t i = 0; i < places.size(); ++i) {
        auto* b = new QPushButton(places[i].caption);
        b->setObjectName(QString("cmd_VIEW_%1").arg(i + 1));
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, frame, [links, b] { OpenNamed(links, b->toolTip()); });
        grid->addWidget(b, 1 + places[i].row, places[i].column);
        buttons.push_back(b);
    }
    auto* copy = new QPushButton(">>");
    copy->setObjectName("cmd_TFR");
    copy->setToolTip("Copy from App to Work");
    copy->setAutoDefault(false);
    copy->setFixedWidth(40);
    QObject::connect(copy, &QPushButton::clicked, frame, std::move(transfer));
    int besideMe = 0;
    for (const ViewButtonPlace& place : places) besideMe += place.column == 0 ? 1 : 0;
    grid->addWidget(copy, 1, 1, std::max(1, besideMe), 1, Qt::AlignCenter);
    return frame;
}

// ---------------------------------------------------------------- icons

bool HasSuiteIcon(const std::string& program) { return QFile::exists(IconResource(program)); }

QIcon SuiteIcon(const std::string& program) {
    QIcon icon;
    QSvgRenderer renderer(IconResource(program));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        if (renderer.isValid()) {
            renderer.render(&p);
        } else {
            // Not one of ours: a plain tile with the name's first letter.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x55, 0x55, 0x66));
            p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
            p.setPen(Qt::white);
            QFont font = p.font();
            font.setBold(true);
            font.setPixelSize(std::max(6, size * 5 / 8));
            p.setFont(font);
            p.drawText(pixmap.rect(), Qt::AlignCenter, Q(program.substr(0, 1)).toUpper());
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// ---------------------------------------------------------------- placement

void NameSuiteWindow(QMainWindow* window, const std::string& program, const QString& caption) {
    window->setObjectName(Q("frm_" + program));
    window->setWindowTitle(caption);
    window->setWindowIcon(SuiteIcon(program));
}

QScrollArea* SetScrollableCentralWidget(QMainWindow* window, QWidget* content, QWidget* footer) {
    auto* area = new FittingScrollArea;
    area->setObjectName("ScrollArea");
    // No Tab stop of its own, where nothing would show the focus: it still
    // scrolls to the control that gets it.
    area->setFocusPolicy(Qt::NoFocus);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    if (!footer) {
        window->setCentralWidget(area);
        return area;
    }
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(area, 1);
    column->addWidget(footer);
    window->setCentralWidget(holder);
    return area;
}

namespace {

// Brings the frame on the screen each time the window is shown: the window
// manager's frame is known only then, and with some managers a moment later.
class FrameKeeper final : public QObject {
public:
    explicit FrameKeeper(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Shown, or restored from a minimized start: only then is the frame
        // the window manager's.
        const bool restored = event->type() == QEvent::WindowStateChange && !window_->isMinimized() &&
                              (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized);
        if (watched == window_ && (event->type() == QEvent::Show || restored)) {
            for (int delay : {0, 100, 400})
                QTimer::singleShot(delay, this, [this] {
                    if (window_->isVisible() && !window_->isMaximized() && !window_->isFullScreen())
                        KeepFrameOnScreen(window_);
                });
        }
        return false;
    }

private:
    QWidget* window_;
};

}  // namespace

void PlaceOnScreen(QWidget* window) {
    window->ensurePolished();
    if (QLayout* layout = window->layout()) layout->activate();
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QSize wanted = window->sizeHint().expandedTo(window->minimumSizeHint());
    if (!screen) {
        window->resize(wanted);
        return;
    }
    const QRect area = screen->availableGeometry();
    // The window manager's frame: known once the window exists (or, with some
    // managers, once it is shown); a border and a title bar are kept free
    // until then, and measured again once shown. On X11 the frame is known
    // only once the window is mapped, and a window made and moved before it
    // is first shown would lose the minimized state it is to start in: it is
    // not made here.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) window->winId();
    const QMargins margins = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    QSize decoration(margins.left() + margins.right(), margins.top() + margins.bottom());
    if (decoration.isNull()) decoration = QSize(8, 36);
    const QSize room = (area.size() - decoration).expandedTo(QSize(1, 1));
    QSize size = wanted.boundedTo(room);
    // Where one way does not fit, its scroll bar takes room the other way:
    // given that room, no second bar appears.
    if (window->findChild<QScrollArea*>()) {
        const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
        if (size.height() < wanted.height()) size.setWidth(std::min(room.width(), wanted.width() + bar));
        if (size.width() < wanted.width()) size.setHeight(std::min(room.height(), wanted.height() + bar));
    }
    window->resize(size.expandedTo(window->minimumSize()));
    const QSize frame = window->size() + decoration;
    window->move(area.x() + std::max(0, (area.width() - frame.width()) / 2),
                 area.y() + std::max(0, (area.height() - frame.height()) / 2));
    if (!window->property("parluxFrameKept").toBool()) {
        window->setProperty("parluxFrameKept", true);
        new FrameKeeper(window);
    }
}

void KeepFrameOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect inner = window->geometry();
    QRect frame = window->frameGeometry();
    const QSize decoration = frame.size() - inner.size();
    const QSize room = (area.size() - decoration).expandedTo(QSize(1, 1));
    if (inner.width() > room.width() || inner.height() > room.height()) {
        QSize size = inner.size().boundedTo(room);
        // Made lower, a window that did not scroll up and down gets the width
        // of the bar it now needs, so that no second bar appears.
        if (auto* scroll = window->findChild<QScrollArea*>();
            scroll && size.height() < inner.height() && scroll->verticalScrollBar()->maximum() == 0) {
            const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
            size.setWidth(std::min(room.width(), size.width() + bar));
        }
        window->resize(size.expandedTo(window->minimumSize()));
        frame.setSize(window->size() + decoration);
    }
    const int x = std::clamp(frame.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width()));
    const int y = std::clamp(frame.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height()));
    if (x != frame.x() || y != frame.y()) window->move(x, y);  // a window's position is its frame's
}

// ---------------------------------------------------------------- start-up

std::string CommandLineOf(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

int RunSuiteProgram(int argc, char** argv, const std::string& program, bool singleInstance,
                    const std::function<int(SingleInstance*, QtMessageSink&, const std::string&)>& body) {
    OpenStandardDescriptors();
    RemoveScratchFilesOnSignals();
    SetStderrProgram(program);
    // Asked by hand or by a packaging check: an answer, and no file touched.
    if (const auto code = StandardOption(program, argc, argv, std::cout)) return *code;
    // Taken before QApplication removes the options it knows. "--wait
    // FULL_AUTO" is FULL_AUTO on the waiting road.
    const std::string commandLine = TakeWaitWord(program, CommandLineOf(argc, argv));
    const SuiteProgramInfo* info = FindSuiteProgramInfo(program);
    const bool unattended = info && info->fullAuto && commandLine == "FULL_AUTO";
    if (info && info->window && !unattended && NoDisplayAvailable()) {
        // A window nobody can reach would wait for ever.
        StderrLine(info->fullAuto ? "needs a display, or the command line FULL_AUTO" : "needs a display");
        return 2;
    }
    const StderrLines lines;
    IgnoreBrokenPipes();
    PrepareDisplay();
    RouteQtMessages();
    QApplication app(argc, argv);
    QApplication::setApplicationName(Q(program));
    QApplication::setWindowIcon(SuiteIcon(program));
    // The desktop groups the windows with the program's menu entry.
    QGuiApplication::setDesktopFileName(Q("parlux-" + QString::fromStdString(program).toLower().toStdString()));

    // A second copy only wakes the first one; it touches no file, not even the
    // log. An unattended copy has no window to hand over: the data folder's
    // lock decides for it.
    std::unique_ptr<SingleInstance> instance;
    if (singleInstance) {
        instance = std::make_unique<SingleInstance>(Q(program));
        if (!unattended && ActivatePrevInstance(*instance)) return 0;
    }
    QtMessageSink messages;
    // What ends the start: on stderr always, in a box too when there is a screen.
    const auto stop = [&messages](const std::string& text) {
        if (!RunningHeadless()) StderrLine(text);
        messages.critical(text);
        return 1;
    };
    try {
        std::unique_ptr<DataFolderLock> lock;
        if (info && info->dataFolder) {
            const fs::path folder = DataFolder();
            std::string problem;
            if (!OpenDataFolder(program, folder, lock, problem)) return stop(problem);
        }
        return body(instance.get(), messages, commandLine);
    } catch (const DataFolderError& e) {
        // No home folder and no PARLUX_DATA: nothing to work on.
        return stop(e.what());
    }
}

}  // namespace parlux
