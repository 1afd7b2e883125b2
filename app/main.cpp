#include "app/DisplayPlatform.h"
#include "app/Form1.h"
#include "app/Module2.h"
#include "app/QuitOnSignal.h"
#include "app/RealDeps.h"

#include <QApplication>
#include <QTimer>

#include <malloc.h>

int main(int argc, char* argv[]) {
    // Large blocks (a sentence's samples) go back to the system when freed. Left to itself,
    // glibc raises this threshold after the first such free and serves them from the heaps
    // from then on, which grow over the first dozens of announcements and keep what they grew.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // Decided before Qt connects: Qt alone would abort in a Wayland session without its Wayland
    // plug-in, although X11 (XWayland) is there, and abort with no display at all.
    const DisplayEnvironment display = DisplayEnvironment::Current();
    const PlatformChoice platform = ChoosePlatform(display);
    if (platform.platforms.isEmpty()) {
        PrintNoWindow(platform.missing);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", platform.platforms);
    std::shared_future<VoiceTokens> voices = StartReadingVoices();
    WatchPlatformStart(display, platform.platforms);
    QApplication app(argc, argv);
    EndPlatformWatch(QGuiApplication::platformName());
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
