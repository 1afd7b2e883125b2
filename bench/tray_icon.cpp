// A Qt program that shows only a tray icon: the yardstick for a start in the notification area.
#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QSystemTrayIcon icon(QIcon(QStringLiteral(":/nimbrel/nimbrel.png")));
    icon.setToolTip(QStringLiteral("Tray"));
    icon.show();
    return QApplication::exec();
}
