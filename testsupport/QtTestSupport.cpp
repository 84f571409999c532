#include "testsupport/QtTestSupport.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QTest>

namespace parlux::test {

void Click(const QObject& root, const std::string& name) {
    if (auto* b = FindWidget<QAbstractButton>(root, name)) QTest::mouseClick(b, Qt::LeftButton);
}

void DoubleClick(const QObject& root, const std::string& name) {
    if (auto* w = FindWidget(root, name)) QTest::mouseDClick(w, Qt::LeftButton);
}

std::string BoxText(const QObject& root, const std::string& name) {
    auto* box = FindWidget<QLineEdit>(root, name);
    return box ? box->text().toStdString() : "<missing>";
}

std::unique_ptr<QProcess> ProgramTest::start(const QStringList& arguments, bool toFiles,
                                             const std::vector<std::pair<QString, QString>>& environment) {
    auto process = std::make_unique<QProcess>();
    if (toFiles) {
        process->setStandardOutputFile(QString::fromStdString((tmp_ / "out.txt").string()));
        process->setStandardErrorFile(QString::fromStdString((tmp_ / "err.txt").string()));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    env.insert("PARLUX_DATA", QString::fromStdString(data_.path().string()));
    // The one-copy socket and lock live in the runtime folder (or the temp
    // folder): keep both apart from any other run.
    env.insert("TMPDIR", QString::fromStdString(tmp_.path().string()));
    std::filesystem::permissions(runtime_.path(), std::filesystem::perms::owner_all);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path().string()));
    for (const auto& [name, value] : environment) env.insert(name, value);
    process->setProcessEnvironment(env);
    process->setProgram(QString::fromStdString(binary().string()));
    process->setArguments(arguments);
    process->start();
    EXPECT_TRUE(process->waitForStarted(5000)) << process->errorString().toStdString();
    return process;
}

bool ProgramTest::waitIdle(QProcess& process, std::string& errors) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000) {
        process.waitForReadyRead(100);
        errors += process.readAllStandardError().toStdString();
        if (errors.find("idle until ended") != std::string::npos) return true;
        if (process.state() == QProcess::NotRunning) return false;
    }
    return false;
}

void ProgramTest::end(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

}  // namespace parlux::test
