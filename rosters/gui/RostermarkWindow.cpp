#include "rosters/gui/RostermarkWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <exception>
#include <iostream>
#include <thread>

#include "common/core/Sinks.h"
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
    timeBeg_->setText(Q(ClockTime(progress.timeBeg)));
    nr_->setText(QString::number(progress.nr));
    qryType_->setText(Q(progress.record->type));
    pingerNick_->setText(Q(progress.record->nick));
    url_->setText(Q(progress.record->url));
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
    if (running_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

std::string ProgressLine(const RecordProgress& progress) {
    return "[" + std::to_string(progress.taken) + "/" + std::to_string(progress.total) +
           "] TimeBeg: " + ClockTime(progress.timeBeg) + " Nr: " + std::to_string(progress.nr) +
           " QryType: " + progress.record->type + " Pinger Nick: " + progress.record->nick +
           " Url: " + progress.record->url;
}

namespace {

// The probe on a thread of its own while the window goes on painting.
std::vector<HeaderAnswer> ProbeWhilePainting(const HeaderProber& prober, const std::vector<std::string>& urls) {
    std::vector<HeaderAnswer> answers;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            answers = prober(urls);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return answers;
}

}  // namespace

int RunRostermarkWindow(RostermarkWindow& window, const std::filesystem::path& dataFolder, MessageSink& messages,
                        const HeaderProber& prober, bool headless) {
    window.running_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!headless) {
        PlaceOnScreen(&window);
        ShowAsAsked(&window);
        QCoreApplication::processEvents();
    }
    const HeaderProber painting = [&prober, &window](const std::vector<std::string>& urls) {
        window.progress_->setRange(0, 0);  // busy until the answers are in
        return ProbeWhilePainting(prober, urls);
    };
    const ProgressShow show = [&window, headless](const RecordProgress& progress) {
        window.showRecord(progress);
        if (headless) std::cout << ProgressLine(progress) << std::endl;
    };
    int status = 1;
    try {
        status = RunRostermark(dataFolder, SystemClock(), messages, std::cerr, painting, show);
    } catch (const std::exception& e) {
        messages.critical(e.what());
    }
    QApplication::restoreOverrideCursor();
    window.running_ = false;
    window.close();
    return status;
}

}  // namespace parlux::rosters
