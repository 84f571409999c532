#pragma once
// Fetchprobe's window, frm_Fetchprobe: tries the download routines and the
// line-end repair on one address and one work file, and opens the result in
// the editors, the browser or the file manager.
#include <QMainWindow>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/core/Transfers.h"
#include "common/desktop/DoubleClicks.h"
#include "common/desktop/SuiteWindow.h"

class QLineEdit;
class QPushButton;

namespace parlux {

class FetchprobeWindow final : public QMainWindow {
    Q_OBJECT
public:
    // links: the program folder, the desktop's opener, how the editors are
    // started, the messages (the data folder is not used).
    explicit FetchprobeWindow(SuiteLinks links, QWidget* parent = nullptr);
    ~FetchprobeWindow() override;

    // The actions, reading the two boxes when they start. An error of the
    // work file is shown as a message and ends the action.
    void goString();     // cmd_GO_S: UrlToText into the work file, then CR LF
    void goFile();       // cmd_GO_F: UrlToFile; a message says why nothing was written
    void goPlim();       // cmd_GO_Plim: LfToCrLf
    void deleteWork();   // cmd_DEL: a regular file only; failures ignored
    void editWork();     // cmd_NotePad, menu NotePad, double-click on the work file
    void hexEditWork();  // cmd_HEdit, menu Hedit

    // Whether the window was closed during a download, which was then given up.
    bool abandoned() const { return abandoned_; }

protected:
    // During a download: the download is given up, the work file kept as it
    // was, and the window closes without a word.
    void closeEvent(QCloseEvent* event) override;

private:
    std::string url() const;
    std::filesystem::path workFile() const;
    void openWork(const std::string& editor);
    // Runs an action with the error of the work file reported, the pointer as
    // busy meanwhile when asked. Refused while another one runs (a download
    // waits with the window's events running); the action buttons are
    // disabled meanwhile.
    void guarded(bool busy, const std::function<void()>& action);

    SuiteLinks links_;
    QLineEdit* url_ = nullptr;
    QLineEdit* workFile_ = nullptr;
    DoubleClicks doubleClicks_{this};
    std::vector<QPushButton*> actions_;  // GO_S, GO_F, GO_Plim, DEL
    bool running_ = false;
    bool closeRequested_ = false;
    bool abandoned_ = false;
    WaitPump previousPump_;
};

}  // namespace parlux
