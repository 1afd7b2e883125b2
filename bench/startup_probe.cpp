// The program's own start-up, up to its first event-loop iteration, then exit: what a user waits
// for before the window answers.
#include "app/Form1.h"
#include "app/RealDeps.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1 form(PrepareRealApplication());
    if (!form.Form_Load())
        return 1;
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
