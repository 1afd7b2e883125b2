#include "app/Form1.h"
#include "app/Version.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    // The window hides into the notification area; the program lives on without it.
    QApplication::setQuitOnLastWindowClosed(false);

    Form1Deps deps;
    deps.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    deps.runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    deps.feedHost = QString::fromLatin1(kFeedHost);
    deps.chimePath = QCoreApplication::applicationDirPath() + QStringLiteral("/weather.wav");

    Form1 form(std::move(deps));
    if (!form.Form_Load())
        return 0;
    return QApplication::exec();
}
