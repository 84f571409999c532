#pragma once
// Gridhub's window, frm_Gridhub: starts the suite's programs (one by one, or
// the relevant ones together), browses the data folder's downloads and
// results, and opens the hand-kept files, the site and the folders.
#include <QMainWindow>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/core/Sinks.h"
#include "common/desktop/DoubleClicks.h"
#include "common/desktop/SuiteWindow.h"
#include "gridhub/GridhubCore.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace parlux {

class GridhubWindow final : public QMainWindow {
    Q_OBJECT
public:
    // links: the data folder, the program folder where the other programs
    // are, the desktop's opener, how programs are started, the messages.
    explicit GridhubWindow(SuiteLinks links, QWidget* parent = nullptr);

    // The start procedure: places the window, draws the icons and, when the
    // command line is exactly FULL_AUTO, checks that the data folder, its
    // Pingers.lst and PingersBad.lst are there, runs HYPER (on the waiting
    // road, HYPER and waiting) and closes before the window is ever shown
    // (false). Otherwise shows the window (true).
    bool start(const std::string& commandLine);

    // Double-click on Picture1 i: starts program i, with FULL_AUTO when its
    // box is ticked. False (and a message) when it could not be started.
    bool launch(int index);
    // Starts Pulsegrid, Lockgrid and Rosterbase; false when one could not be.
    bool hyper();
    // The Image1 double-click: HYPER, then close.
    void hyperAndClose();
    // HYPER on the waiting road: the programs started as children, then
    // waited for; each that failed is named in a message.
    void hyperAndWait();
    // Whether a program could not be started (or, waited for, failed).
    bool failed() const { return failed_; }
    // The unattended run's status: the worst of the programs waited for, 1
    // when one could not be started or something was missing.
    int exitStatus() const { return failed_ ? std::max(exitStatus_, 1) : exitStatus_; }

protected:
private:
    QWidget* buildProggies();
    QWidget* buildChoose();
    QWidget* buildData();
    QWidget* buildArea();
    QWidget* buildOutputStyle();
    void buildMenus();
    void drawProgramIcons();

    // Browsing, each step as the user's choice would run it.
    void chooseArea(gridhub::Area area);
    void chooseType();
    // open false: only the tooltip follows the entry shown (moved through
    // with the arrow keys), nothing is opened.
    void chooseFile(bool open = true);
    void chooseOutputStyle(int style);
    // The chosen file's date and size: its list's tooltip and the status line.
    void showFileInfo(const QString& text);
    void selectOutputNone();
    gridhub::Area area() const;
    int outputStyle() const;

    SuiteLinks links_;
    bool fullAuto_ = false;
    bool failed_ = false;
    int exitStatus_ = 0;
    DoubleClicks doubleClicks_{this};
    std::vector<QAction*> viewEntries_;
    std::vector<QPushButton*> viewButtons_;
    std::vector<QLabel*> programBoxes_;  // Picture1 i
    std::vector<QCheckBox*> checks_;     // Check1 i
    std::vector<QLabel*> searchBoxes_;   // Picture2 i
    std::vector<QRadioButton*> areas_;   // Option1 i
    std::vector<QRadioButton*> styles_;  // Option2 i
    QComboBox* types_ = nullptr;         // Combo1
    QComboBox* files_ = nullptr;         // Combo2
    QLabel* image_ = nullptr;            // Image1
    QLabel* fileInfo_ = nullptr;         // the status line
};

}  // namespace parlux
