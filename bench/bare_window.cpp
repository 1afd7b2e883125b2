// A bare Qt Widgets window, the yardstick for the program's start-up time and memory.
// With --quit it exits at its first event-loop iteration; otherwise it stays open. With --text
// it shows one line of text, so that it pays for the font database as any window with text does.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(334, 322);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--text")))
        new QLabel(QStringLiteral("ZIP code"), &window);
    window.show();
    if (arguments.contains(QStringLiteral("--quit")))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
