#pragma once
// The comparison workbench: the state, sequencing, feedback, reset and dump
// machinery shared by the three comparers. A comparer supplies its procedures
// and a description (types, tables, actions); Workbench<Procedures> binds them.
// No Qt here: the window, a headless run and the tests all drive this object.
#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/core/Sinks.h"
#include "common/core/Table.h"
#include "workbench/RecordedRun.h"

namespace parlux {

enum class ResultKind { None, Count, Bool };
enum TableId : int { kPingersTable = 0, kPingedsTable = 1, kMainTable = 2 };

struct TableDef {
    std::string name;  // "Pingers": PingersArray, txt_DMP_Pingers, cmd_SAV_Pingers ...
    int dumpColumns;   // columns written to and read from the dump
};

struct ActionDef {
    std::string name;  // "LOA_Stats": button cmd_LOA_Stats, result box txt_LOA_Stats
    std::string tooltip;
    ResultKind result = ResultKind::None;
    int sortsTable = -1;       // a sort: runs, with its lines, only when this table is loaded
    bool blankDetail = true;   // false: the detail line keeps its text
    int dumpTable = -1;        // double-click on the result box saves and views this dump
    bool locksChoice = false;  // disables the type choice until RESET
};

struct TypeChoice {
    std::string code;     // "PGP-1"
    std::string caption;  // "V1 Cpunk"
};

struct WorkbenchDescription {
    std::string program;  // "Pulsegrid"
    std::string caption;  // "Quill's Compare Stats"
    char dumpLetter = 'S';
    std::array<TableDef, 3> tables;
    std::vector<TypeChoice> types;   // none: no type choice
    std::string choiceCaption;       // "Choose Stats"
    std::vector<ActionDef> actions;  // SUPER's order, after RESET
    std::string superTooltip, resetTooltip, hyperTooltip, imageTooltip, resultBoxTooltip, prtBoxTooltip;
    // Started with " FULL_AUTO" at the end of HYPER, e.g. "Flaggrid"; "" for none.
    std::string followUpProgram;
    std::string followUpTooltip;
    // The output view opens its pages minimized, as the dump view does.
    bool outputViewMinimized = false;
    // Image1 stands inside the choice frame rather than beside it.
    bool imageInChoiceFrame = false;

    std::string tableArrayName(int table) const { return tables[table].name + "Array"; }
    const ActionDef* findAction(const std::string& name) const;
};

// Starting other programs, without waiting (the window's StartDetached), or
// waiting for them on the waiting road.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual bool start(const std::string& commandLine, short showStyle) = 0;
    // Starts and waits: the program's wait status (waitpid), -1 when it could
    // not be started. By default started without waiting and taken as done.
    virtual int startAndWait(const std::string& commandLine, short showStyle) {
        return start(commandLine, showStyle) ? 0 : -1;
    }
};

// What the window shows of the state; every hook is optional.
class WorkbenchView {
public:
    virtual ~WorkbenchView() = default;
    virtual void boxChanged(const std::string& box, const std::string& text) { (void)box, (void)text; }
    virtual void choiceEnabledChanged(bool enabled) { (void)enabled; }
    virtual void typeChosen(int index) { (void)index; }
    virtual void busyChanged(bool busy) { (void)busy; }
};

// What an unattended run could not do, for its closing summary.
struct RunReport {
    std::vector<std::pair<std::string, std::string>> notDownloaded;  // "nick type", why: one per file
    std::vector<std::string> pagesNotWritten;                        // paths
    std::string listMissing;                                         // the list's path, when it was missing
    std::string listEmpty;                                           // the list's path, when it held no record
    std::string notStarted;                                          // the follow-up program, when it did not start
    std::vector<std::string> cuts;  // "<pinger> <type>: only the first ... read": a file read in part
    int reached = 0;                // downloads that came (an answer, even an empty one)
    // A follow-up waited for that failed: its exit status and how it ended.
    int followUpStatus = 0;
    std::string followUpEnd;  // "Flaggrid FULL_AUTO ended with status 1"
    // Pingers were asked and none answered: every page holds cached copies only.
    bool noneReached() const { return reached == 0 && !notDownloaded.empty(); }
    // A page that could not be written, no list, no pinger reached, or no
    // follow-up (or one that failed): the run failed.
    bool failed() const {
        return !pagesNotWritten.empty() || !listMissing.empty() || !listEmpty.empty() || !notStarted.empty() ||
               noneReached() || followUpStatus != 0;
    }
    // No list to compare by: a run has nothing to do.
    bool noList() const { return !listMissing.empty() || !listEmpty.empty(); }
    // The summary lines, each "<program>: ..." ending in LF: counts first,
    // then the items; "" when there is nothing to report.
    std::string summary(const std::string& program) const;
};

class WorkbenchCore;

// Told each time PRT_Compil has written a type's pages (the history of runs
// records what they showed: WorkbenchCore::pagesShown), and as it begins to
// (what the observer reads of earlier runs may be read meanwhile).
class PagesObserver {
public:
    virtual ~PagesObserver() = default;
    virtual void pagesAhead(WorkbenchCore& /*workbench*/) {}
    virtual void pagesWritten(WorkbenchCore& workbench) = 0;
};

struct WorkbenchEnv {
    std::filesystem::path dataFolder;
    std::filesystem::path programFolder;
    FeedbackSink* feedback;
    MessageSink* messages;
    const Clock* clock;
    ProgramLauncher* launcher;
    // The "Me" folder of the hand-kept copies; the program folder when empty.
    std::filesystem::path meFolder = {};
    PagesObserver* pagesObserver = nullptr;
};

class WorkbenchCore {
public:
    WorkbenchCore(WorkbenchDescription description, WorkbenchEnv env);
    virtual ~WorkbenchCore() = default;
    WorkbenchCore(const WorkbenchCore&) = delete;
    WorkbenchCore& operator=(const WorkbenchCore&) = delete;

    const WorkbenchDescription& description() const { return description_; }
    void setView(WorkbenchView* view) { view_ = view; }

    // --- state
    const std::string& statsType() const { return statsType_; }
    int chosenType() const { return chosenType_; }
    void chooseType(int index);  // 0-based; the option's code becomes the stats type
    bool choiceEnabled() const { return choiceEnabled_; }
    Table& table(int id) { return tables_[id]; }
    const Table& table(int id) const { return tables_[id]; }
    // Rows of a loaded table, 0 for one that is not loaded (the row counters).
    int count(int id) const { return tables_[id].loaded() ? tables_[id].rowCount() : 0; }
    // The text of a result or dump box ("txt_LOA_Stats", "txt_DMP_Pingers").
    std::string box(const std::string& name) const;

    // --- actions, each as if its button had been pressed
    void press(const std::string& actionName);
    void SUPER();
    void HYPER();
    void RESET();
    // The "+" button: start the follow-up program unattended; false (after a
    // message, and noted for the summary) when it could not be started.
    bool startFollowUp();
    // An unattended run on the waiting road: the follow-up program is waited
    // for, and its failure is the run's.
    void setWaitForFollowUp(bool wait) { waitForFollowUp_ = wait; }
    int save(int table);              // SAV: rows written, shown in txt_DMP_
    int restore(int table);           // RST: rows read, shown in txt_DMP_
    void viewDump(int table);         // open the dump in the editor
    void saveAndViewDump(int table);  // double-click on a result box
    void viewOutput();                // double-click on txt_PRT_Compil
    // The window is closing during a run: transfers in flight are given up,
    // the step in progress ends, and SUPER and HYPER start no further step.
    // Once every page of a HYPER is written its end (RESET, the follow-up
    // program) still runs: those pages are done and the follow-up reads them.
    void abandon() {
        abandoned_ = true;
        if (!inSuper_ && !inHyper_) gaveUp_ = true;  // a step by hand: cut short, maybe
    }
    // Whether the close left work of the run undone: a step not run, a type
    // not compared, the follow-up not started.
    bool abandoned() const { return gaveUp_; }
    // Whether the window has been closed during the run, whatever it cut.
    bool closing() const { return abandoned_; }
    // An unattended run (FULL_AUTO): a HYPER that finds no list says so once
    // and stops. At a screen every later step and type reports its box.
    void setUnattended(bool unattended) { unattended_ = unattended; }

    // --- for the procedures
    std::filesystem::path dataPath(const std::string& name) const { return env_.dataFolder / name; }
    std::filesystem::path dumpPath(int table) const;
    const std::filesystem::path& dataFolder() const { return env_.dataFolder; }
    const std::filesystem::path& programFolder() const { return env_.programFolder; }
    const std::filesystem::path& meFolder() const { return env_.meFolder.empty() ? env_.programFolder : env_.meFolder; }
    FeedbackSink& feedback() { return *env_.feedback; }
    MessageSink& messages() { return *env_.messages; }
    const Clock& clock() const { return *env_.clock; }
    ProgramLauncher& launcher() { return *env_.launcher; }
    // The table check: shows the shared box (unattended, a line of the log)
    // and returns true when not loaded.
    bool notLoaded(int table);
    // What went wrong on the way, gathered for the run's summary (HYPER
    // starts a new one).
    void noteNotDownloaded(const std::string& what, const std::string& reason) {
        report_.notDownloaded.emplace_back(what, reason);
    }
    void noteReached() { ++report_.reached; }
    // Whether this run's download of the pinger's file of the current type
    // failed: with no earlier copy there is no file, and the summary's line
    // is all that is said of it.
    bool notReached(const std::string& nick) const {
        const std::string what = nick + " " + statsType_;
        return std::any_of(report_.notDownloaded.begin(), report_.notDownloaded.end(),
                           [&what](const auto& item) { return item.first == what; });
    }
    void notePageNotWritten(const std::filesystem::path& path) { report_.pagesNotWritten.push_back(path.string()); }
    // PRT_Compil had nothing to line up: the type's pages stay those of an
    // earlier run (or are not there at all), unless the list named no file
    // of the type.
    void noteOutputNotWritten();
    void noteListMissing(const std::string& path) { report_.listMissing = path; }
    // Pingers.lst holds no record of the current type: that is no fault, so
    // until the next RESET the pages it leaves unwritten are not counted.
    void noteNothingListed();
    void noteListEmpty(const std::string& path) { report_.listEmpty = path; }
    // A file read only in part (the log has said so): a line of the summary.
    void noteCut(const std::string& text) { report_.cuts.push_back(text); }
    const RunReport& report() const { return report_; }

    // A detail line, the top line unchanged.
    void detail(const std::string& text) { feedback().feedBack("", text, 0); }

    // The text pages the output view opens for the current type.
    virtual std::vector<std::string> outputPages() const = 0;
    // What the pages PRT_Compil has just written showed, from the tables.
    virtual RecordedRun pagesShown() const = 0;

protected:
    // Runs the procedure of description().actions[index]; the number is shown
    // as a count, or as True/False (non-zero/zero), as the action says.
    virtual long runProcedure(std::size_t index) = 0;

private:
    void setBox(const std::string& name, const std::string& text);
    void setChoiceEnabled(bool enabled);
    std::vector<std::string> resetBoxes() const;
    std::string quoted(const std::filesystem::path& path) const;
    // Opens a text page in the editor; a box when none could be started.
    void viewPage(const std::filesystem::path& path, short showStyle);

    WorkbenchDescription description_;
    WorkbenchEnv env_;
    WorkbenchView* view_ = nullptr;
    std::string statsType_;
    int chosenType_ = -1;
    bool choiceEnabled_ = true;
    std::array<Table, 3> tables_;
    std::vector<std::pair<std::string, std::string>> boxes_;
    RunReport report_;
    bool nothingListed_ = false;
    bool inHyper_ = false;  // HYPER ends where a SUPER found no list
    bool inSuper_ = false;
    bool abandoned_ = false;
    bool gaveUp_ = false;
    bool waitForFollowUp_ = false;
    bool unattended_ = false;
    // Whether HYPER gives up where a SUPER found no list.
    bool stopsWithoutList() const {
        return inHyper_ && report_.noList() && (unattended_ || !env_.messages->interactive());
    }
};

// One action of a comparer, written once: the procedure behind its button and
// what the window and the feedback lines show of it.
template <class Procedures>
struct ComparerAction {
    long (Procedures::*step)();
    ActionDef def;
};

// A comparer's procedures bound to the workbench. Procedures provides
//   static WorkbenchDescription Describe();  // everything but the actions
//   static const std::vector<ComparerAction<Procedures>>& Actions();  // SUPER's order
//   explicit Procedures(WorkbenchCore&);
//   std::vector<std::string> OutputPages() const;
//   RecordedRun PagesShown() const;  // what the pages of a run showed
template <class Procedures>
class Workbench final : public WorkbenchCore {
public:
    explicit Workbench(WorkbenchEnv env) : WorkbenchCore(Description(), env), procedures_(*this) {}
    Procedures& procedures() { return procedures_; }
    std::vector<std::string> outputPages() const override { return procedures_.OutputPages(); }
    RecordedRun pagesShown() const override { return procedures_.PagesShown(); }

    // The comparer's description with its actions.
    static WorkbenchDescription Description() {
        WorkbenchDescription d = Procedures::Describe();
        d.actions.clear();
        for (const auto& action : Procedures::Actions()) d.actions.push_back(action.def);
        return d;
    }

protected:
    long runProcedure(std::size_t index) override { return (procedures_.*Procedures::Actions().at(index).step)(); }

private:
    Procedures procedures_;
};

}  // namespace parlux
