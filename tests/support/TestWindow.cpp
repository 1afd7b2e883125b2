#include "tests/support/TestWindow.h"

#include "app/MessageBox.h"
#include "app/Module2.h"

TestWindow::TestWindow(TestWindowOptions options) {
    Form1Deps deps;
    static_cast<AppCoreDeps&>(deps) = coreDeps(options);
    deps.notificationBus = std::move(options.notificationBus);
    deps.notificationArea = options.notificationArea;
    deps.quit = [this] { ++quits; };
    form = std::make_unique<Form1>(std::move(deps));
    if (options.load)
        loaded = form->Form_Load();
}

TestWindow::~TestWindow() {
    form.reset();
    Module2::RemoveTrayIcon();
    MessageBox::resetAnswers();
}
