#pragma once
// Qt helpers shared by the GUI test suites: a window's widgets found by their
// object names and worked as a user works them, and a built program run
// headless as a subprocess.
#include <gtest/gtest.h>

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/TestSupport.h"

namespace parlux::test {

// The widget of that object name below root; a test failure when there is none.
template <class T = QWidget>
T* FindWidget(const QObject& root, const std::string& name) {
    T* w = root.findChild<T*>(QString::fromStdString(name));
    if (!w) ADD_FAILURE() << "no widget " << name;
    return w;
}
// Clicks the button of that name with the left mouse button.
void Click(const QObject& root, const std::string& name);
// Double-clicks the widget of that name with the left mouse button.
void DoubleClick(const QObject& root, const std::string& name);
// What the text box of that name reads; "<missing>" when there is no such box.
std::string BoxText(const QObject& root, const std::string& name);

// Every widget of a window as text, one line each, indented under the named
// widget that holds it; siblings in the order of their object names, so the
// listing does not change with the order of construction. A line gives the
// object name ("-" for none), the class, then what the user sees of it:
// text or title, tooltip, buddy, and the states enabled/checked/read-only/
// hidden/picture. A menu bar lists its menus, and a menu its entries, in
// menu order. Widgets without a name and without anything to show are left
// out (their children are not); replacements turn varying texts such as
// scratch folders into fixed words, in the order given.
using Replacements = std::vector<std::pair<std::string, std::string>>;
std::string DumpWidgets(const QWidget& window, const Replacements& replacements = {});
// The dump of the window compared with its golden file (ExpectGolden).
void ExpectWidgetsGolden(const QWidget& window, const std::filesystem::path& goldenFile,
                         const Replacements& replacements = {});

// The window made the active one, as a person's click would make it, so that
// its access keys and shortcuts reach it.
void Activate(QWidget& window);

// Every access key of a window pressed as a person presses it: Alt and the
// key for the menu bar's menus and the window's buttons and labels, the key
// alone in the open menu for the menus' entries, and F10 for the menu bar.
// What each reaches is checked (the menu opens, the button is pressed, the
// entry is chosen, the label's box takes the focus), as is that no key is
// given twice in the window or in a menu; the buttons and entries are those
// that are enabled. Pressing them runs their actions. Returns the
// "<control> <key>" of each, in the order pressed.
std::vector<std::string> PressEveryAccessKey(QWidget& window);

// The Tab stops of a window that show no focus: every control that Tab
// reaches must be a button, a text or list box, or a picture box that draws
// a frame when it has the focus. Returns their names.
std::vector<std::string> TabStopsWithoutVisibleFocus(QWidget& window);

// Gives the named widget the focus and presses Enter on it.
void PressEnter(const QObject& root, const std::string& name);

// A built program (BinDir()/program) run headless as a subprocess: no display
// in its environment, PARLUX_DATA at the scratch data folder, TMPDIR at a
// scratch folder of its own and XDG_RUNTIME_DIR at a private (0700) one.
class ProgramTest : public ::testing::Test {
protected:
    explicit ProgramTest(std::string program) : program_(std::move(program)) {}

    // The built program, or the copy named by useBinary.
    std::filesystem::path binary() const { return binary_.empty() ? BinDir() / program_ : binary_; }
    // Runs a copy of the program instead (one placed in a scratch program
    // folder beside stand-ins for its siblings).
    void useBinary(std::filesystem::path path) { binary_ = std::move(path); }
    // The program's run log, next to it.
    std::filesystem::path runLog() const { return BinDir() / (program_ + ".log"); }

    // With toFiles the output goes to out.txt and err.txt in tmp_ instead of
    // pipes: a program it starts in turn inherits them and may go on writing
    // after it has ended, when a pipe would be closed.
    // environment: names set for the program after the display ones are
    // taken out (a platform, a display).
    std::unique_ptr<QProcess> start(const QStringList& arguments, bool toFiles = false,
                                    const std::vector<std::pair<QString, QString>>& environment = {});
    // Later starts get the offscreen platform as their display (a window
    // that waits), or none at all (the default).
    void giveDisplay(bool offscreen) { offscreen_ = offscreen; }
    // Later starts get this variable so, over the defaults above.
    void setEnv(const QString& name, const QString& value) { overrides_.insert(name, value); }
    // Waits (up to 15 s) for the stderr line of a copy that has nothing to do
    // once its start-up is over; errors collects what stderr said meanwhile.
    static bool waitIdle(QProcess& process, std::string& errors);
    // Terminates the process, and kills it when it does not end.
    static void end(QProcess& process);

    TempDir data_;
    TempDir tmp_;
    TempDir runtime_;

private:
    std::string program_;
    std::filesystem::path binary_;
    bool offscreen_ = false;
    QProcessEnvironment overrides_;
};

}  // namespace parlux::test
