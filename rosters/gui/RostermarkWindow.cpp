#include "rosters/gui/RostermarkWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <exception>
#include <iostream>
#include <map>

#include "common/core/Sinks.h"
#include "common/core/Transfers.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/QtText.h"
#include "common/desktop/SuiteWindow.h"

namespace parlux::rosters {

RostermarkWindow::RostermarkWindow() {
    setObjectName("frm_Rostermark");
    setWindowTitle("Generate PingersX");
    setWindowIcon(SuiteIcon("Rostermark"));  // also the window's background

    auto* grid = new QGridLayout(this);
    struct Field {
        const char* caption;
        const char* name;
        QLineEdit** box;
    };
    const Field fields[] = {{"TimeBeg:", "txt_TimeBeg", &timeBeg_},
                            {"Nr:", "txt_Nr", &nr_},
                            {"QryType:", "txt_QryType", &qryType_},
                            {"Pinger Nick:", "txt_PingerNick", &pingerNick_},
                            {"Url:", "txt_Url", &url_}};
    int row = 0;
    for (const Field& field : fields) {
        auto* label = new QLabel(field.caption, this);
        label->setObjectName(QString("Label%1").arg(row + 1));
        auto* box = new QLineEdit(this);
        box->setObjectName(field.name);
        box->setReadOnly(true);
        box->setMinimumWidth(row == 4 ? 360 : 120);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        *field.box = box;
        ++row;
    }
    image_ = new QLabel(this);
    image_->setObjectName("Image1");
    image_->setPixmap(windowIcon().pixmap(32, 32));
    grid->addWidget(image_, 0, 2, 2, 1, Qt::AlignTop | Qt::AlignRight);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar1");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat("%v / %m");
    grid->addWidget(progress_, row, 0, 1, 3);
}

void RostermarkWindow::showRecord(const RecordProgress& progress) {
    // The record the run waits on, not the one that just answered (a failure
    // answers first); the last one once none is awaited. Every probe began
    // with the first answer's round.
    const PingerRecord& record = progress.awaited ? *progress.awaited : *progress.record;
    if (!progress.awaited || timeBeg_->text().isEmpty()) timeBeg_->setText(Q(ClockTime(progress.timeBeg)));
    nr_->setText(QString::number(progress.awaited ? progress.awaitedNr : progress.nr));
    qryType_->setText(Q(record.type));
    pingerNick_->setText(Q(record.nick));
    url_->setText(Q(record.url));
    progress_->setRange(0, progress.total);
    progress_->setValue(progress.taken);
    repaint();
    QCoreApplication::processEvents();
}

void RostermarkWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The icon as a faint picture behind the fields, as large as the window is high.
    QPainter painter(this);
    painter.setOpacity(0.12);
    const int side = height();
    painter.drawPixmap(QRect((width() - side) / 2, 0, side, side), windowIcon().pixmap(128, 128));
}

void RostermarkWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

std::string ProgressLine(const RecordProgress& progress) {
    // Appended piece by piece: a literal + std::string at -O3 draws a false
    // overlap warning (-Wrestrict) from GCC 12.
    std::string line = "[";
    line.append(std::to_string(progress.taken)).append("/").append(std::to_string(progress.total));
    line.append("] TimeBeg: ").append(ClockTime(progress.timeBeg)).append(" Nr: ").append(std::to_string(progress.nr));
    line.append(" QryType: ").append(progress.record->type).append(" Pinger Nick: ").append(progress.record->nick);
    return line.append(" Url: ").append(progress.record->url);
}

namespace {

// The window was closed while the servers were asked.
struct RunAbandoned {};

}  // namespace

int RunRostermarkWindow(RostermarkWindow& window, const std::filesystem::path& dataFolder, MessageSink& messages,
                        const HeaderProber& prober, bool headless) {
    window.running_ = true;
    window.closeRequested_ = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!headless) {
        PlaceOnScreen(&window);
        ShowAsAsked(&window);
        QCoreApplication::processEvents();
    }
    // The probes wait with the window's events running; closing the window
    // gives them up.
    const WaitPump previous = SetWaitPump([&window] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs);
        return !window.closeRequested_;
    });
    const HeaderProber probing = [&prober, &window](const std::vector<std::string>& urls, const AnswerTaken& taken) {
        auto answers = prober(urls, taken);
        if (window.closeRequested_) throw RunAbandoned{};
        return answers;
    };
    // Headless, the lines go to stdout in the order of the list once all are
    // taken, so that two runs' outputs compare line by line.
    std::map<const PingerRecord*, std::string> lines;
    const ProgressShow show = [&window, &lines, headless](const RecordProgress& progress) {
        window.showRecord(progress);
        if (headless) lines[progress.record] = ProgressLine(progress);
    };
    int status = 1;
    try {
        status = RunRostermark(dataFolder, SystemClock(), messages, std::cerr, probing, show);
    } catch (const RunAbandoned&) {
        std::cerr << "Rostermark: the window was closed during the probe: PingersX.html not written" << std::endl;
    } catch (const std::exception& e) {
        messages.critical(e.what());
    }
    for (const auto& [record, line] : lines) std::cout << "Rostermark: " << line << '\n';
    std::cout.flush();
    SetWaitPump(previous);
    QApplication::restoreOverrideCursor();
    window.running_ = false;
    window.close();
    return status;
}

}  // namespace parlux::rosters
