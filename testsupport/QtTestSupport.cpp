#include "testsupport/QtTestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QTest>
#include <algorithm>
#include <tuple>

namespace parlux::test {

namespace {

// A text as it stands on one line of the listing.
std::string Quote(const QString& text) {
    QString s = text;
    s.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n").replace('\r', "\\r");
    return "\"" + s.toStdString() + "\"";
}

// The text a widget shows (caption, title, contents) and what goes with it.
std::string Content(const QWidget& w, const QWidget& window) {
    if (&w == &window) return " title=" + Quote(w.windowTitle()) + (w.windowIcon().isNull() ? "" : " icon");
    if (auto* group = qobject_cast<const QGroupBox*>(&w)) return " title=" + Quote(group->title());
    if (auto* button = qobject_cast<const QAbstractButton*>(&w)) return " text=" + Quote(button->text());
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        std::string out = label->text().isEmpty() ? "" : " text=" + Quote(label->text());
        if (!label->pixmap().isNull()) out += " picture";
        if (label->buddy()) out += " buddy=" + label->buddy()->objectName().toStdString();
        return out;
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(&w))
        return " text=" + Quote(edit->text()) + (edit->isReadOnly() ? " read-only" : "");
    if (auto* combo = qobject_cast<const QComboBox*>(&w)) {
        std::string items;
        for (int i = 0; i < combo->count(); ++i) items += (i ? "," : "") + Quote(combo->itemText(i));
        return " items=[" + items + "]" +
               (combo->count() > 0 ? " current=" + std::to_string(combo->currentIndex()) : "");
    }
    if (auto* bar = qobject_cast<const QProgressBar*>(&w))
        return " range=" + std::to_string(bar->minimum()) + ".." + std::to_string(bar->maximum()) +
               " value=" + std::to_string(bar->value());
    return "";
}

// A button's check state, where it has one.
std::string CheckState(const QWidget& w) {
    if (auto* check = qobject_cast<const QCheckBox*>(&w); check && check->isTristate()) {
        const Qt::CheckState state = check->checkState();
        return state == Qt::Checked ? " checked" : state == Qt::PartiallyChecked ? " partial" : " unchecked";
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(&w); button && button->isCheckable())
        return button->isChecked() ? " checked" : " unchecked";
    return "";
}

// What the user sees of one widget, after its name and class; empty when
// there is nothing to see.
std::string Shows(const QWidget& w, const QWidget& window) {
    std::string out = Content(w, window);
    if (!w.toolTip().isEmpty()) out += " tooltip=" + Quote(w.toolTip());
    out += CheckState(w);
    if (!w.isEnabled()) out += " disabled";
    if (&w != &window && !w.isVisibleTo(&window)) out += " hidden";
    return out;
}

std::string ActionLine(const QAction& a) {
    std::string line = (a.objectName().isEmpty() ? "-" : a.objectName().toStdString()) + " QAction";
    if (a.isSeparator()) return line + " separator";
    line += " text=" + Quote(a.text());
    if (a.isCheckable()) line += a.isChecked() ? " checked" : " unchecked";
    if (!a.isEnabled()) line += " disabled";
    return line;
}

std::string Name(const QObject& o) { return o.objectName().isEmpty() ? "-" : o.objectName().toStdString(); }

void DumpMenu(const QMenu& menu, int depth, std::string& out) {
    out += std::string(2 * depth, ' ') + Name(menu) + " QMenu title=" + Quote(menu.title()) +
           (menu.isEnabled() ? "" : " disabled") + "\n";
    for (const QAction* a : menu.actions()) {
        if (a->menu())
            DumpMenu(*a->menu(), depth + 1, out);
        else
            out += std::string(2 * (depth + 1), ' ') + ActionLine(*a) + "\n";
    }
}

void DumpChildren(const QWidget& parent, const QWidget& window, int depth, std::string& out);

void DumpWidget(const QWidget& w, const QWidget& window, int depth, std::string& out) {
    if (auto* menu = qobject_cast<const QMenu*>(&w)) {
        // A menu of a menu bar or of another menu is listed with its entry, in
        // menu order; only a menu on its own (a context menu) stands here.
        if (!qobject_cast<const QMenuBar*>(w.parent()) && !qobject_cast<const QMenu*>(w.parent()))
            DumpMenu(*menu, depth, out);
        return;
    }
    if (auto* bar = qobject_cast<const QMenuBar*>(&w)) {
        out += std::string(2 * depth, ' ') + Name(w) + " QMenuBar\n";
        for (const QAction* a : bar->actions())
            if (a->menu())
                DumpMenu(*a->menu(), depth + 1, out);
            else
                out += std::string(2 * (depth + 1), ' ') + ActionLine(*a) + "\n";
        return;
    }
    const bool named = !w.objectName().isEmpty() && !w.objectName().startsWith("qt_");
    const std::string shows = Shows(w, window);
    // An unnamed widget that shows nothing (a layout's plain container, a
    // scroll bar) is left out, and its children stand at its level.
    const bool listed = &w == &window || named || shows.find("text=") != std::string::npos ||
                        shows.find("title=") != std::string::npos || shows.find("picture") != std::string::npos;
    if (listed)
        out += std::string(2 * depth, ' ') + (named || &w == &window ? Name(w) : "-") + " " +
               w.metaObject()->className() + shows + "\n";
    // A combo box's popup list is its own business.
    if (qobject_cast<const QComboBox*>(&w)) return;
    DumpChildren(w, window, listed ? depth + 1 : depth, out);
}

void DumpChildren(const QWidget& parent, const QWidget& window, int depth, std::string& out) {
    std::vector<const QWidget*> children;
    for (const QObject* child : parent.children())
        if (child->isWidgetType()) children.push_back(static_cast<const QWidget*>(child));
    const auto key = [&window](const QWidget* w) {
        return std::tuple(w->objectName().toStdString(), std::string(w->metaObject()->className()), Shows(*w, window));
    };
    std::stable_sort(children.begin(), children.end(),
                     [&key](const QWidget* a, const QWidget* b) { return key(a) < key(b); });
    for (const QWidget* child : children) DumpWidget(*child, window, depth, out);
}

}  // namespace

std::string DumpWidgets(const QWidget& window, const Replacements& replacements) {
    std::string out;
    DumpWidget(window, window, 0, out);
    for (const auto& [from, to] : replacements) {
        if (from.empty()) continue;
        for (std::size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
            out.replace(at, from.size(), to);
    }
    return out;
}

void ExpectWidgetsGolden(const QWidget& window, const std::filesystem::path& goldenFile,
                         const Replacements& replacements) {
    ExpectGolden(DumpWidgets(window, replacements), goldenFile);
}

void Click(const QObject& root, const std::string& name) {
    if (auto* b = FindWidget<QAbstractButton>(root, name)) QTest::mouseClick(b, Qt::LeftButton);
}

void DoubleClick(const QObject& root, const std::string& name) {
    if (auto* w = FindWidget(root, name)) QTest::mouseDClick(w, Qt::LeftButton);
}

std::string BoxText(const QObject& root, const std::string& name) {
    auto* box = FindWidget<QLineEdit>(root, name);
    return box ? box->text().toStdString() : "<missing>";
}

std::unique_ptr<QProcess> ProgramTest::start(const QStringList& arguments, bool toFiles,
                                             const std::vector<std::pair<QString, QString>>& environment) {
    auto process = std::make_unique<QProcess>();
    if (toFiles) {
        process->setStandardOutputFile(QString::fromStdString((tmp_ / "out.txt").string()));
        process->setStandardErrorFile(QString::fromStdString((tmp_ / "err.txt").string()));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (offscreen_) env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("PARLUX_DATA", QString::fromStdString(data_.path().string()));
    // The one-copy socket and lock live in the runtime folder (or the temp
    // folder): keep both apart from any other run.
    env.insert("TMPDIR", QString::fromStdString(tmp_.path().string()));
    std::filesystem::permissions(runtime_.path(), std::filesystem::perms::owner_all);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path().string()));
    for (const QString& name : overrides_.keys()) env.insert(name, overrides_.value(name));
    for (const auto& [name, value] : environment) env.insert(name, value);
    process->setProcessEnvironment(env);
    process->setProgram(QString::fromStdString(binary().string()));
    process->setArguments(arguments);
    process->start();
    EXPECT_TRUE(process->waitForStarted(5000)) << process->errorString().toStdString();
    return process;
}

bool ProgramTest::waitIdle(QProcess& process, std::string& errors) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        process.waitForReadyRead(100);
        errors += process.readAllStandardError().toStdString();
        if (errors.find("idle until ended") != std::string::npos) return true;
        if (process.state() == QProcess::NotRunning) return false;
    }
    return false;
}

void ProgramTest::end(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace parlux::test
