// A bare Qt Widgets window, the yardstick for the program's start-up time and memory.
// With --quit it exits at its first event-loop iteration; otherwise it stays open.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(334, 322);
    window.show();
    if (QCoreApplication::arguments().contains(QStringLiteral("--quit")))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
