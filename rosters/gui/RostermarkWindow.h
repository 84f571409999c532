#pragma once
// frm_Rostermark, "Generate PingersX": shows the record being taken and how
// many of the list's records are done; it has no buttons and runs by itself.
#include <QWidget>
#include <filesystem>
#include <iosfwd>

#include "rosters/Rosters.h"

class QLineEdit;
class QLabel;
class QProgressBar;

namespace parlux::rosters {

class RostermarkWindow final : public QWidget {
    Q_OBJECT
public:
    RostermarkWindow();

    // The record in the five boxes and the count in the bar, painted at once.
    void showRecord(const RecordProgress& progress);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Closed during the run: the probes in flight are given up and no page
    // is written; the window closes when the run has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    friend int RunRostermarkWindow(RostermarkWindow&, const std::filesystem::path&, MessageSink&, const HeaderProber&,
                                   bool);
    QLineEdit* timeBeg_;
    QLineEdit* nr_;
    QLineEdit* qryType_;
    QLineEdit* pingerNick_;
    QLineEdit* url_;
    QLabel* image_;
    QProgressBar* progress_;
    bool running_ = false;
    bool closeRequested_ = false;
};

// Main with its window: shown with the busy pointer (headless: not shown,
// one line per record on stdout instead, after "Rostermark: "), each record
// shown as its answer comes while the window's events run, then closed.
// Returns the exit status.
int RunRostermarkWindow(RostermarkWindow& window, const std::filesystem::path& dataFolder, MessageSink& messages,
                        const HeaderProber& prober, bool headless);

// One progress line of a headless run.
std::string ProgressLine(const RecordProgress& progress);

}  // namespace parlux::rosters
