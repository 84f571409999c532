#pragma once
// The desktop layer: what the suite asks of the window system and the shell.
// External Windows tools map to the desktop's opener (xdg-open); command lines
// are split into program and arguments and never handed to a shell.
#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Sinks.h"

class QWidget;
class QLocalServer;

namespace parlux {

// Window states for started programs (the platform's show styles).
enum ShowStyle : short { kShowHidden = 0, kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

// Opens a document, folder or address with the desktop's opener; returns at
// once and never raises, whatever the target. A bare file name is the "Me"
// folder's file (MeFolder()). A program of the suite named
// with ".exe" (the Apps menus) is started instead, without the extension.
void ShellOpen(QWidget* window, const QString& target);

// Runs a command line as a new process and waits for it to end; a command
// that cannot start returns at once.
void ExecCmd(const std::string& commandLine, short showStyle);

// Starts a command line without waiting. Tools of the original desktop
// ("EditPad.exe file", "HEdit.exe file", "EXPLORER.EXE /n,/e,folder") go to the opener; a program
// of the suite named by path + ".exe" runs the executable beside it without
// the extension. Returns false when nothing could be started.
bool StartDetached(const std::string& commandLine, short showStyle);

// What StartDetached runs for a command line: the program followed by its
// arguments, after the mapping above; empty when there is nothing to run.
std::vector<std::string> MapCommandLine(const std::string& commandLine);

// The folder of the system's shared libraries.
std::string SystemDirectory();

// A folder for this user's sockets and locks that no other user can reach:
// $XDG_RUNTIME_DIR when it is such a folder, else "parlux-<uid>" in the temp
// folder, created with mode 0700 or, when it is there already, taken only when
// lstat shows a real folder (not a link) owned by this user and closed to
// everyone else. Its mode is never changed unless this call created it.
// Empty when there is none; problem then says why.
std::string PrivateRuntimeFolder(std::string* problem = nullptr);

// True when no display is available: no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM in the environment.
bool NoDisplayAvailable();
// Call before constructing QApplication: selects the offscreen platform when
// no display is available and remembers that the run is headless (also when
// the offscreen platform was chosen already, as for a program started by a
// headless one). When XDG_RUNTIME_DIR is unset or not this user's private
// folder, it is pointed at PrivateRuntimeFolder().
void PrepareDisplay();
// Whether the run is headless (see PrepareDisplay).
bool RunningHeadless();

// Message boxes: modal, critical icon, the application title as caption; when
// headless the text goes to stderr instead and nothing blocks.
class QtMessageSink final : public MessageSink {
public:
    explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void critical(std::string_view text) override;
    bool interactive() const override;

private:
    QWidget* parent_;
};

// One running copy per program and user. The first copy listens on a local
// socket in PrivateRuntimeFolder(); a later copy asks it to come to the front
// and then ends. A socket whose other end belongs to another user is never
// obeyed: the copy takes the name over instead. Without a private folder the
// copy says so on stderr and runs unguarded.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& programName, QObject* parent = nullptr);
    ~SingleInstance() override;
    // True when another copy answered (it has been asked to activate its
    // window); false when this copy is now the one that listens.
    bool anotherIsRunning();
    // Restore, raise and activate this window when a later copy knocks.
    void setWindow(QWidget* window) { window_ = window; }
    // The socket's full path; empty without a private folder.
    QString serverName() const { return serverName_; }

signals:
    void activationRequested();

private:
    void onConnection();
    QString programName_;
    QString serverName_;
    std::string problem_;
    QLocalServer* server_ = nullptr;
    QWidget* window_ = nullptr;
};

// Called at start-up, before any file is touched: when another copy of this
// program runs, asks it to bring its window to the front (restored) and
// returns true, and this copy should end; otherwise this copy becomes the one
// that later copies wake.
inline bool ActivatePrevInstance(SingleInstance& instance) { return instance.anotherIsRunning(); }

// Brings a window to the front, restored if minimised.
void ActivateWindow(QWidget* window);

}  // namespace parlux
