// A stand-in for a program of the suite, for the single-instance tests:
//   single_instance_probe NAME
// A later copy prints "second" and ends with 3. The first copy shows a
// minimised window, prints "first" and waits (10 s at most) until a later
// copy asks it to come to the front; it then prints "restored" (or
// "minimised" when its window stayed minimised) and ends with 0.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "common/desktop/SingleInstance.h"

namespace {

void Say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: single_instance_probe NAME\n");
        return 2;
    }
    parlux::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (instance.anotherIsRunning()) {
        Say("second");
        return 3;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("probe"));
    window.showMinimized();
    instance.setWindow(&window);
    QObject::connect(&instance, &parlux::SingleInstance::activationRequested, &app, [&] {
        Say(window.isMinimized() ? "minimised" : "restored");
        app.exit(0);
    });
    QTimer::singleShot(10000, &app, [&] {
        Say("timeout");
        app.exit(1);
    });
    Say("first");
    return app.exec();
}
