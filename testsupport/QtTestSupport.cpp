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
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <map>
#include <tuple>

#include "common/core/TextFields.h"

namespace parlux::test {

namespace {

// A text as it stands on one line of the listing.
std::string Quote(const QString& text) {
    QString s = text;
    s.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n").replace('\r', "\\r");
    return Quoted(s.toStdString());
}

// A caption as the user reads it, then its access key when it has one: the
// letter after a lone "&" ("&&" shows one "&").
std::string Caption(const char* what, const QString& text) {
    QString plain;
    QChar key;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            plain += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'&') {
            plain += u'&';
            ++i;
        } else if (i + 1 < text.size() && key.isNull()) {
            key = text[i + 1].toUpper();
        }
    }
    return std::string(" ") + what + "=" + Quote(plain) + (key.isNull() ? "" : " key=" + QString(key).toStdString());
}

// The text a widget shows (caption, title, contents) and what goes with it.
std::string Content(const QWidget& w, const QWidget& window) {
    if (&w == &window) return " title=" + Quote(w.windowTitle()) + (w.windowIcon().isNull() ? "" : " icon");
    if (auto* group = qobject_cast<const QGroupBox*>(&w)) return " title=" + Quote(group->title());
    if (auto* button = qobject_cast<const QAbstractButton*>(&w)) return Caption("text", button->text());
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        std::string out = label->text().isEmpty() ? "" : Caption("text", label->text());
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
    line += Caption("text", a.text());
    if (a.isCheckable()) line += a.isChecked() ? " checked" : " unchecked";
    if (!a.isEnabled()) line += " disabled";
    return line;
}

std::string Name(const QObject& o) { return o.objectName().isEmpty() ? "-" : o.objectName().toStdString(); }

void DumpMenu(const QMenu& menu, int depth, std::string& out) {
    out += std::string(2 * depth, ' ') + Name(menu) + " QMenu" + Caption("title", menu.title()) +
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

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window, 2000)) ADD_FAILURE() << "the window did not become active";
}

namespace {

// The key after a lone "&", upper case; 0 for none.
char KeyOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return static_cast<char>(text[i + 1].toUpper().toLatin1());
    }
    return 0;
}

Qt::Key QtKey(char key) { return static_cast<Qt::Key>(key); }  // Qt::Key_A.. and Key_0.. are ASCII

// Keys given once in a scope.
void ExpectUnique(std::map<char, std::string>& keys, char key, const std::string& what, const std::string& scope) {
    const auto [it, fresh] = keys.emplace(key, what);
    if (!fresh) ADD_FAILURE() << "key " << key << " of " << what << " also on " << it->second << " in " << scope;
}

void PressMenuEntries(QWidget& window, QMenuBar& bar, QMenu& menu, std::vector<std::string>& pressed) {
    std::map<char, std::string> keys;
    for (QAction* entry : menu.actions()) {
        const char key = entry->isSeparator() ? 0 : KeyOf(entry->text());
        if (!key) continue;
        ExpectUnique(keys, key, entry->objectName().toStdString(), menu.objectName().toStdString());
        if (!entry->isEnabled()) continue;
        bar.setActiveAction(menu.menuAction());
        if (!QTest::qWaitFor([&menu] { return menu.isVisible(); }, 2000)) {
            ADD_FAILURE() << menu.objectName().toStdString() << " does not open";
            return;
        }
        QSignalSpy chosen(entry, &QAction::triggered);
        QTest::keyClick(&menu, QtKey(key));
        if (!QTest::qWaitFor([&chosen] { return chosen.count() > 0; }, 2000))
            ADD_FAILURE() << "key " << key << " in " << menu.objectName().toStdString() << " does not choose "
                          << entry->objectName().toStdString();
        menu.hide();
        Activate(window);
        pressed.push_back(entry->objectName().toStdString() + " " + key);
    }
}

}  // namespace

namespace {

// F10, then each menu of the bar by its key, and the entries of each.
void PressMenus(QWidget& window, std::map<char, std::string>& keys, std::vector<std::string>& pressed) {
    auto* bar = window.findChild<QMenuBar*>();
    if (!bar) return;
    QTest::keyClick(&window, Qt::Key_F10);
    QMenu* first = bar->actions().isEmpty() ? nullptr : bar->actions().front()->menu();
    if (first && !QTest::qWaitFor([first] { return first->isVisible(); }, 2000))
        ADD_FAILURE() << "F10 does not open " << first->objectName().toStdString();
    if (first) first->hide();
    Activate(window);
    for (QAction* action : bar->actions()) {
        QMenu* menu = action->menu();
        const char key = menu ? KeyOf(menu->title()) : 0;
        if (!key) continue;
        ExpectUnique(keys, key, menu->objectName().toStdString(), "the window");
        QTest::keyClick(&window, QtKey(key), Qt::AltModifier);
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
            ADD_FAILURE() << "Alt+" << key << " does not open " << menu->objectName().toStdString();
        menu->hide();
        Activate(window);
        pressed.push_back(menu->objectName().toStdString() + " " + key);
        PressMenuEntries(window, *bar, *menu, pressed);
    }
}

// Alt and the key of one button (it is pressed) or label (its box takes the focus).
void PressControl(QWidget& window, QWidget& w, std::vector<std::string>& pressed) {
    const std::string name = w.objectName().toStdString();
    Activate(window);
    if (auto* label = qobject_cast<QLabel*>(&w)) {
        const char key = KeyOf(label->text());
        QTest::keyClick(&window, QtKey(key), Qt::AltModifier);
        if (!QTest::qWaitFor([label] { return label->buddy()->hasFocus(); }, 2000))
            ADD_FAILURE() << "Alt+" << key << " does not lead " << name << " to its box";
        pressed.push_back(name + " " + key);
        return;
    }
    auto* button = static_cast<QAbstractButton*>(&w);
    const char key = KeyOf(button->text());
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::keyClick(&window, QtKey(key), Qt::AltModifier);
    if (!QTest::qWaitFor([&clicked] { return clicked.count() > 0; }, 5000))
        ADD_FAILURE() << "Alt+" << key << " does not press " << name;
    pressed.push_back(name + " " + key);
}

char ControlKey(const QWidget& w) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&w)) return KeyOf(button->text());
    if (const auto* label = qobject_cast<const QLabel*>(&w); label && label->buddy()) return KeyOf(label->text());
    return 0;
}

}  // namespace

std::vector<std::string> PressEveryAccessKey(QWidget& window) {
    std::vector<std::string> pressed;
    std::map<char, std::string> keys;
    Activate(window);
    PressMenus(window, keys, pressed);
    // The buttons and labels in the order of their names; a button pressed
    // may change what the others are (a RESET, a run), so each is looked up
    // again.
    std::vector<std::string> names;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const char key = ControlKey(*w);
        if (!key) continue;
        ExpectUnique(keys, key, w->objectName().toStdString(), "the window");
        names.push_back(w->objectName().toStdString());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        QWidget* w = window.findChild<QWidget*>(QString::fromStdString(name));
        if (w && w->isEnabled() && w->isVisibleTo(&window)) PressControl(window, *w, pressed);
    }
    return pressed;
}

std::vector<std::string> TabStopsWithoutVisibleFocus(QWidget& window) {
    std::vector<std::string> bare;
    for (QWidget* w = window.nextInFocusChain(); w && w != &window; w = w->nextInFocusChain()) {
        if (!window.isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&window)) continue;
        const bool shows = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QComboBox*>(w) || w->property("parluxShowsFocus").toBool();
        if (!shows)
            bare.push_back((w->objectName().isEmpty() ? "-" : w->objectName().toStdString()) + " " +
                           w->metaObject()->className());
    }
    return bare;
}

void PressEnter(const QObject& root, const std::string& name) {
    QWidget* w = FindWidget(root, name);
    if (!w) return;
    w->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w, Qt::Key_Return);
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
