#include "app/Form1.h"
#include "app/Module2.h"
#include "app/QuitOnSignal.h"
#include "app/RealDeps.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Before the load step, so that a signal arriving during it still ends the program cleanly
    // once the event loop runs, instead of killing it half-started.
    QuitOnTerminationSignals(&app);
    Form1 form(PrepareRealApplication());
    if (!form.Form_Load())
        return 0;
    // Logout and shutdown end the program too; the icon goes with it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &Module2::RemoveTrayIcon);
    return QApplication::exec();
}
