// A Qt program that shows only a tray icon: the yardstick for a start in the notification area.
#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // Read as PNG outright, as the program reads its icon: guessing the format loads every image
    // plugin.
    QImageReader reader(QStringLiteral(":/nimbrel/nimbrel.png"), "png");
    reader.setAutoDetectImageFormat(false);
    QSystemTrayIcon icon(QIcon(QPixmap::fromImage(reader.read())));
    icon.setToolTip(QStringLiteral("Tray"));
    icon.show();
    return QApplication::exec();
}
