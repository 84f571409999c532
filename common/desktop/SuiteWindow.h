#pragma once
// What every window of the suite shares: the menus that open files, web
// addresses, folders and the sibling programs; the view buttons and the copy
// button; the programs' icons; a place on the screen that keeps the whole
// frame in reach; and the start of a window program.
#include <QIcon>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/core/Sinks.h"
#include "common/desktop/MessageBoxes.h"
#include "common/desktop/SingleInstance.h"

class QAction;
class QGroupBox;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QWidget;

namespace parlux {

// How a window reaches outside itself. Each function is looked up when an
// entry is used, so a window may swap them (tests record instead).
struct SuiteLinks {
    std::function<void(const QString&)> open;                                    // the desktop's opener
    std::function<bool(const std::string& commandLine, short showStyle)> start;  // without waiting
    std::function<MessageSink&()> messages;
    std::filesystem::path programFolder;
    std::filesystem::path dataFolder;
    // The "Me" folder of the hand-kept copies (MeFolder()); the program
    // folder when empty.
    std::filesystem::path meFolder = {};
    const std::filesystem::path& me() const { return meFolder.empty() ? programFolder : meFolder; }
};

// A menu whose entries open what their caption names (read when chosen).
// Entries are named prefix + index, from firstIndex on; a caption "-" is a
// separator. Returns the entries.
std::vector<QAction*> AddOpenMenu(QMenuBar* bar, const QString& title, const QString& menuName,
                                  const QString& entryPrefix, const QStringList& captions, int firstIndex,
                                  const SuiteLinks& links);

// "Internet": the mirrors of the maintainer's site.
void AddInternetMenu(QMenuBar* bar, const SuiteLinks& links);

// "Explorer1" and "Explorer2", each with "Me" (links.me()) and "Work"
// (the data folder), opened with the desktop's file manager.
void AddExplorerMenus(QMenuBar* bar, const SuiteLinks& links);

// "Apps": every program of the suite, started from the program folder
// without arguments; the window's own program is ticked and disabled.
void AddAppsMenu(QMenuBar* bar, const std::string& self, const SuiteLinks& links);

// Starts a program of the suite from the program folder, the path quoted and
// arguments (with their leading blank) appended, without waiting. When it
// cannot be started the window is told which file is missing ("<path> Not
// found") or that it would not start, and false is returned.
bool StartSuiteProgram(const SuiteLinks& links, const std::string& fileName, const std::string& arguments,
                       short showStyle);

// One view button: its caption, and where it stands in the View frame
// (column 0 the program folder's copies, 2 and on the data folder's).
struct ViewButtonPlace {
    const char* caption;
    int row;  // from 0
    int column;
};

// The View frame: the buttons cmd_VIEW_1.. in the order given, each opening
// what its tooltip names; the copy button cmd_TFR between the two folders'
// columns; headings "Me" and "Work". Fills buttons.
QGroupBox* BuildViewFrame(const std::vector<ViewButtonPlace>& places, const SuiteLinks& links,
                          std::function<void()> transfer, std::vector<QPushButton*>& buttons);

// A program's own icon ("Pulsegrid" and so on); a plain one for other names.
QIcon SuiteIcon(const std::string& program);
// Whether the program has an icon of its own.
bool HasSuiteIcon(const std::string& program);

// Names the window frm_ + program, gives it its caption and the program's icon.
void NameSuiteWindow(QMainWindow* window, const std::string& program, const QString& caption);

// Puts content in the window inside a scroll area, so that the window can be
// smaller than its layout and still show all of it. A footer (the feedback
// lines) stays below the scrolled area, always in sight.
QScrollArea* SetScrollableCentralWidget(QMainWindow* window, QWidget* content, QWidget* footer = nullptr);

// Sizes the window to its layout, at most the screen's available area, and
// centres its frame there. A main window given a scrollable central widget
// shrinks to fit and scrolls, with a scroll bar only where the layout really
// does not fit. Once shown, the real frame (title bar included) is measured
// and the window brought wholly within the available area.
void PlaceOnScreen(QWidget* window);
// The second half of that: the frame as the window manager drew it, within
// the available area, the window made smaller where it is too big.
void KeepFrameOnScreen(QWidget* window);

// The arguments after the program name, joined by one blank.
std::string CommandLineOf(int argc, char** argv);

// Output to a reader that has gone (the program that started this one and
// read its output has ended) must not end the run: writes then just fail.
void IgnoreBrokenPipes();

// The start of a window program. "--help" and "--version" print and end (0);
// without any display a command line other than FULL_AUTO ends it (2). Then
// the display is prepared and the application made and named. With a single
// instance, a second copy with a window wakes the first and ends (0) before
// anything else (an unattended one wakes nobody). A program of the data
// folder reads Parlux.conf there and, when it is one that works on the
// folder, takes the folder's lock: a bad line or a lock held by another copy
// ends it (1) before it writes anything. Then body runs with the guard (null
// without a single instance), the message sink and the command line; its
// result is the exit code. A body that finds no data folder
// (DataFolderError) ends the program with its message and 1.
int RunSuiteProgram(
    int argc, char** argv, const std::string& program, bool singleInstance,
    const std::function<int(SingleInstance* instance, QtMessageSink& messages, const std::string& commandLine)>& body);

}  // namespace parlux
