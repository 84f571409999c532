#include "workbench/Workbench.h"

#include <algorithm>
#include <set>

#include "common/core/DataFolderLock.h"
#include "common/core/DumpFile.h"
#include "common/core/Feedback.h"
#include "common/core/Files.h"
#include "common/core/Process.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/core/Table.h"
#include "common/core/WaitedRun.h"

namespace parlux {

const ActionDef* WorkbenchDescription::findAction(const std::string& name) const {
    for (const auto& action : actions)
        if (action.name == name) return &action;
    return nullptr;
}

WorkbenchCore::WorkbenchCore(WorkbenchDescription description, WorkbenchEnv env)
    : description_(std::move(description)), env_(std::move(env)) {
    for (auto& t : tables_) t.reset();
    if (!description_.types.empty()) chooseType(0);
}

void WorkbenchCore::chooseType(int index) {
    if (index < 0 || index >= static_cast<int>(description_.types.size())) return;
    chosenType_ = index;
    statsType_ = description_.types[index].code;
    if (view_) view_->typeChosen(index);
}

std::string WorkbenchCore::box(const std::string& name) const {
    for (const auto& [key, text] : boxes_)
        if (key == name) return text;
    return {};
}

void WorkbenchCore::setBox(const std::string& name, const std::string& text) {
    auto it = std::find_if(boxes_.begin(), boxes_.end(), [&](const auto& b) { return b.first == name; });
    if (it == boxes_.end())
        boxes_.emplace_back(name, text);
    else
        it->second = text;
    if (view_) view_->boxChanged(name, text);
}

void WorkbenchCore::setChoiceEnabled(bool enabled) {
    choiceEnabled_ = enabled;
    if (view_) view_->choiceEnabledChanged(enabled);
}

namespace {

// A message box's text as a detail line of the run log.
class LogLine final : public MessageSink {
public:
    explicit LogLine(WorkbenchCore& wb) : wb_(wb) {}
    void critical(std::string_view text) override { wb_.detail(OneLine(text)); }

private:
    WorkbenchCore& wb_;
};

}  // namespace

bool WorkbenchCore::notLoaded(int table) {
    // At a screen the boxes stay: they show where the run stands. Unattended
    // they go to the log: the summary names the pages they cost.
    if (messages().interactive()) return ArrayNotInitialized(tables_[table], messages());
    LogLine log(*this);
    return ArrayNotInitialized(tables_[table], log);
}

void WorkbenchCore::noteOutputNotWritten() {
    if (nothingListed_ || report_.noList()) return;
    for (const auto& page : outputPages()) notePageNotWritten(dataPath(page));
}

void WorkbenchCore::noteNothingListed() {
    nothingListed_ = true;
    detail("Pingers.lst lists no file of " + (statsType_.empty() ? std::string("the types compared") : statsType_) +
           ": nothing to compare");
}

std::filesystem::path WorkbenchCore::dumpPath(int table) const {
    return dataPath(DumpFileName(description_.dumpLetter, description_.tableArrayName(table)));
}

void WorkbenchCore::press(const std::string& actionName) {
    if (actionName == "RESET") return RESET();
    const auto& actions = description_.actions;
    auto it = std::find_if(actions.begin(), actions.end(), [&](const ActionDef& a) { return a.name == actionName; });
    if (it == actions.end()) return;
    const ActionDef& action = *it;
    if (action.sortsTable >= 0 && notLoaded(action.sortsTable)) return;
    if (action.locksChoice) setChoiceEnabled(false);

    const std::string detailText = action.blankDetail ? " " : "";
    FeedBack(feedback(), action.name + " in Progress: " + statsType_, detailText, 0);
    const bool pages = action.name == "PRT_Compil" && env_.pagesObserver;
    if (pages) env_.pagesObserver->pagesAhead(*this);
    const long result = runProcedure(static_cast<std::size_t>(it - actions.begin()));
    if (result && pages) env_.pagesObserver->pagesWritten(*this);
    std::string completed = action.name + " Completed: " + statsType_;
    if (action.result != ResultKind::None) {
        const std::string text =
            action.result == ResultKind::Bool ? (result ? "True" : "False") : std::to_string(result);
        setBox("txt_" + action.name, text);
        completed += " - " + text;
    }
    FeedBack(feedback(), completed, detailText, 0);
    feedback().endOfStep();
}

namespace {
// A flag raised for a scope.
struct RaisedFlag {
    bool& flag;
    explicit RaisedFlag(bool& f) : flag(f) { flag = true; }
    ~RaisedFlag() { flag = false; }
    RaisedFlag(const RaisedFlag&) = delete;
    RaisedFlag& operator=(const RaisedFlag&) = delete;
};
}  // namespace

void WorkbenchCore::SUPER() {
    // The busy pointer goes back even when a step fails on the way.
    struct Busy {
        WorkbenchView* view;
        explicit Busy(WorkbenchView* v) : view(v) {
            if (view) view->busyChanged(true);
        }
        ~Busy() {
            if (view) view->busyChanged(false);
        }
    } busy(view_);
    const RaisedFlag inSuper(inSuper_);
    FeedBack(feedback(), "SUPER in Progress: " + statsType_, " ", 0);
    RESET();
    for (const auto& action : description_.actions) {
        if (abandoned_) {
            gaveUp_ = true;
            return;
        }
        press(action.name);
        // An unattended run without a list (missing, or no record in it)
        // says so once rather than with a box at every later step.
        if (stopsWithoutList()) break;
    }
    if (abandoned_) return;  // every step ran: only the last line and its pause are left out
    FeedBack(feedback(), "SUPER Completed: " + statsType_, " ", 500);
    feedback().endOfStep();
}

std::string RunReport::summary(const std::string& program) const {
    // Without a record nothing was fetched or written: one line says all.
    if (!listEmpty.empty()) return program + ": " + listEmpty + " holds no pinger record: no page written\n";
    std::string cutLines;
    for (const auto& cut : cuts) cutLines += program + ": " + cut + "\n";
    if (notDownloaded.empty() && !failed()) return cutLines;
    auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    // A pinger down is one pinger, however many of its files were not reached.
    std::set<std::string> nicks;
    for (const auto& item : notDownloaded) nicks.insert(item.first.substr(0, item.first.find(' ')));
    std::string pingers = count(nicks.size(), "pinger not reached", "pingers not reached");
    if (notDownloaded.size() != nicks.size()) pingers += " (" + count(notDownloaded.size(), "file", "files") + ")";
    const std::string head = program + ": ";
    std::string out =
        head + pingers + ", " + count(pagesNotWritten.size(), "page not written", "pages not written") + "\n";
    if (!listMissing.empty()) out += head + "list missing: " + listMissing + "\n";
    if (noneReached())
        out += head + "no pinger reached" +
               (pagesNotWritten.empty() ? ": the pages hold only the copies of earlier runs" : "") + "\n";
    for (const auto& [what, why] : notDownloaded) out += head + "not reached: " + what + " (" + why + ")\n";
    for (const auto& page : pagesNotWritten) out += head + "not written: " + page + "\n";
    if (!notStarted.empty()) out += head + "not started: " + notStarted + "\n";
    if (followUpStatus != 0) out += head + followUpEnd + "\n";
    return out + cutLines;
}

void WorkbenchCore::HYPER() {
    report_ = RunReport{};
    FeedBack(feedback(), "HYPER in Progress: ", " ", 0);
    const RaisedFlag inHyper(inHyper_);
    if (description_.types.empty()) {
        SUPER();
    } else {
        // Every type reads the same list: unattended, without one the other
        // types are not tried.
        for (int i = 0; i < static_cast<int>(description_.types.size()) && !stopsWithoutList(); ++i) {
            if (abandoned_) gaveUp_ = true;  // a type not compared
            if (gaveUp_) break;
            chooseType(i);
            SUPER();
        }
    }
    if (gaveUp_) return;
    // Every page is written: a close from here on cuts nothing.
    RESET();
    if (!description_.followUpProgram.empty()) startFollowUp();
    FeedBack(feedback(), "HYPER Completed: ", " ", 1000);
    feedback().endOfStep();
}

std::vector<std::string> WorkbenchCore::resetBoxes() const {
    std::vector<std::string> names;
    for (const auto& t : description_.tables) names.push_back("txt_DMP_" + t.name);
    // The loading results of pingers and pingeds first, then the others in action order.
    names.push_back("txt_LOA_" + description_.tables[kPingersTable].name);
    names.push_back("txt_LOA_" + description_.tables[kPingedsTable].name);
    for (const auto& action : description_.actions) {
        const std::string name = "txt_" + action.name;
        if (action.result != ResultKind::None && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

void WorkbenchCore::RESET() {
    FeedBack(feedback(), "RESET in Progress: " + statsType_, " ", 0);
    for (int t = 0; t < 3; ++t) tables_[t].reset();
    nothingListed_ = false;
    for (int t = 0; t < 3; ++t) DeleteIfExists(dumpPath(t));
    for (const auto& name : resetBoxes()) setBox(name, "");
    setChoiceEnabled(true);
    FeedBack(feedback(), "RESET Completed: " + statsType_, " ", 0);
    feedback().endOfStep();
}

bool WorkbenchCore::startFollowUp() {
    const std::string& program = description_.followUpProgram;
    if (program.empty()) return true;
    FeedBack(feedback(), program + " Shelling: ", " ", 0);
    const std::filesystem::path path = env_.programFolder / program;
    const std::string commandLine = quoted(path) + " FULL_AUTO";
    bool started = true;
    if (!waitForFollowUp_) {
        started = launcher().start(commandLine, kShowMinimized);
    } else {
        // Its pages belong to this night: the run ends when they are written.
        const int status = launcher().startAndWait(commandLine, kShowMinimized);
        started = status != -1;
        if (started && ExitStatusOf(status) != 0) {
            report_.followUpStatus = ExitStatusOf(status);
            report_.followUpEnd = program + " FULL_AUTO " + DescribeEnd(status);
        }
    }
    if (!started) {
        // Its pages would silently stay those of an earlier night.
        report_.notStarted = path.string();
        messages().critical(path.string() + " cannot be started");
    }
    FeedBack(feedback(), program + " Shelled: ", " ", 0);
    feedback().endOfStep();
    return started;
}

int WorkbenchCore::save(int table) {
    const int rows = SaveDump(tables_[table], description_.tables[table].dumpColumns, dumpPath(table));
    setBox("txt_DMP_" + description_.tables[table].name, std::to_string(rows));
    return rows;
}

int WorkbenchCore::restore(int table) {
    const auto path = dumpPath(table);
    int rows = 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        messages().critical(path.string() + " Not found");
    } else {
        rows = RestoreDump(tables_[table], description_.tables[table].dumpColumns, path);
    }
    setBox("txt_DMP_" + description_.tables[table].name, std::to_string(rows));
    return rows;
}

std::string WorkbenchCore::quoted(const std::filesystem::path& path) const {
    return std::string("\"").append(path.string()).append("\"");
}

void WorkbenchCore::viewPage(const std::filesystem::path& path, short showStyle) {
    // Nothing a person asks to see opens silently nothing.
    if (!launcher().start("EditPad.exe " + quoted(path), showStyle))
        messages().critical(path.string() + " cannot be opened: no program to open it was found");
}

void WorkbenchCore::viewDump(int table) { viewPage(dumpPath(table), kShowMinimized); }

void WorkbenchCore::saveAndViewDump(int table) {
    save(table);
    viewDump(table);
}

void WorkbenchCore::viewOutput() {
    const short style = description_.outputViewMinimized ? kShowMinimized : kShowNormal;
    for (const auto& page : outputPages()) viewPage(dataPath(page), style);
}

}  // namespace parlux
