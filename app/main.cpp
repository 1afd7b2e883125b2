#include "app/Form1.h"
#include "app/Module2.h"
#include "app/QuitOnSignal.h"
#include "app/RealDeps.h"

#include <QApplication>
#include <QTimer>

#include <malloc.h>

int main(int argc, char* argv[]) {
    std::shared_future<VoiceTokens> voices = StartReadingVoices();
    QApplication app(argc, argv);
    // Before the load step, so that a signal arriving during it still ends the program cleanly
    // once the event loop runs, instead of killing it half-started.
    QuitOnTerminationSignals(&app);
    Form1 form(PrepareRealApplication(std::move(voices)));
    if (!form.Form_Load())
        return 0;
    // Logout and shutdown end the program too; the icon goes with it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &Module2::RemoveTrayIcon);
    // Start-up leaves freed heap behind (the voice list's reading, the settings files); hand it
    // back once the first turn has painted, since the program then idles all day.
    QTimer::singleShot(0, [] { malloc_trim(0); });
    return QApplication::exec();
}
