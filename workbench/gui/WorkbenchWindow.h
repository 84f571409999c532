#pragma once
// The comparers' window: every control is made from the comparer's
// WorkbenchDescription (actions, tables, types, extra buttons), every button
// hands over to the WorkbenchCore, and the window shows the core's state back.
// The three comparers (Pulsegrid, Lockgrid, Flaggrid) differ only in their
// descriptions.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/core/Sinks.h"
#include "common/core/Transfers.h"
#include "common/desktop/DoubleClicks.h"
#include "common/desktop/SuiteWindow.h"
#include "workbench/Workbench.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace parlux {

// Starts programs with the desktop layer: StartOrOpen without waiting (an
// opener that fails is told to messages), or as a child waited for.
class DesktopLauncher final : public ProgramLauncher {
public:
    explicit DesktopLauncher(MessageSink* messages = nullptr) : messages_(messages) {}
    bool start(const std::string& commandLine, short showStyle) override;
    int startAndWait(const std::string& commandLine, short showStyle) override;

private:
    MessageSink* messages_;
};

class WorkbenchWindow final : public QMainWindow, public WorkbenchView, public FeedbackDisplay {
    Q_OBJECT
public:
    // Registers itself as the core's view; the core must outlive the window.
    explicit WorkbenchWindow(WorkbenchCore& core, QWidget* parent = nullptr);
    ~WorkbenchWindow() override;

    WorkbenchCore& core() { return core_; }

    // --- start-up steps, in the order the program runs them
    // Sizes the window to fit its screen and centres it there.
    void centre();
    // The View menu's data-folder entries, and the view buttons' tooltips from
    // the View menu's captions.
    void setViewCaptions();
    // The window's icon in Image1.
    void showIcon();

    // The Image1 double-click: HYPER, then close the window.
    void hyperAndClose();
    // Whether an action stopped on an error (reported through the message sink).
    bool failed() const { return failed_; }
    // Whether an action, SUPER or HYPER is running; while one runs the
    // others are refused.
    bool running() const { return running_; }
    // Whether the window was closed during a run, which was then given up.
    bool abandoned() const { return core_.abandoned(); }

    // How files, folders and addresses are opened (ShellOpen by default).
    void setOpener(std::function<void(const QString&)> opener) { opener_ = std::move(opener); }
    // A headless run: every logged feedback record is echoed to stdout after
    // the program's name and a colon, and the feedback lines are not drawn.
    void setHeadless(bool headless) { echoRecords_ = headless_ = headless; }

    // --- WorkbenchView
    void boxChanged(const std::string& box, const std::string& text) override;
    void choiceEnabledChanged(bool enabled) override;
    void typeChosen(int index) override;
    void busyChanged(bool busy) override;

    // --- FeedbackDisplay
    void showLines(const std::string& top, const std::string& detail) override;
    void pause(int milliseconds) override;
    void processEvents() override;
    void logged(const std::string& record) override;

protected:
    // During a run: the run is given up after its step in progress, then the
    // window closes.
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* buildActions();
    QGroupBox* buildDebug();
    QGroupBox* buildView();
    QGroupBox* buildChoice();
    void buildMenus();
    QPushButton* button(const QString& name, const QString& caption, const std::string& tooltip,
                        std::function<void()> onClick);
    QLineEdit* resultBox(const std::string& name, const std::string& tooltip, std::function<void()> onDoubleClick);
    void copyToDataFolder();
    // Runs what a control asks for; an error it throws is reported as a message.
    void guarded(const std::function<void()>& action);
    // An action, SUPER or HYPER: refused while another one runs; meanwhile
    // the controls that start one are disabled and the pointer is busy.
    void act(const std::function<void()>& action);
    void showRunning(bool running);
    // The window's events while the program waits on the network.
    bool pumpEvents();

    WorkbenchCore& core_;
    const WorkbenchDescription& d_;
    std::function<void(const QString&)> opener_;
    SuiteLinks links_;
    bool echoRecords_ = false;
    bool headless_ = false;
    bool failed_ = false;
    int busyDepth_ = 0;
    bool running_ = false;
    bool closeRequested_ = false;
    WaitPump previousPump_;
    std::vector<QWidget*> actionControls_;  // disabled while an action runs

    std::map<std::string, QLineEdit*> boxes_;
    DoubleClicks doubleClicks_{this};
    std::vector<QRadioButton*> options_;
    std::vector<QPushButton*> viewButtons_;
    std::vector<QAction*> viewEntries_;
    QGroupBox* choiceFrame_ = nullptr;
    QLabel* image_ = nullptr;
    QLineEdit* feedbackTop_ = nullptr;
    QLineEdit* feedbackDetail_ = nullptr;

    // Feedback lines not yet in their boxes, and when events last ran.
    void applyLines();
    bool linesPending_ = false;
    std::string pendingTop_, pendingDetail_;
    QElapsedTimer frameClock_;
    std::string paintedTop_;  // the top line when events last ran
    // The top line when stdout was last flushed, and when that was.
    std::string echoedTop_;
    QElapsedTimer echoClock_;
};

}  // namespace parlux
