#include "tests/support/TestWindow.h"

#include "app/MessageBox.h"
#include "app/Module2.h"

#include <QComboBox>
#include <QPushButton>

TestWindow::TestWindow(TestWindowOptions options) {
    Form1Deps deps;
    static_cast<AppCoreDeps&>(deps) = coreDeps(options);
    deps.notificationBus = std::move(options.notificationBus);
    deps.quit = [this] { ++quits; };
    form = std::make_unique<Form1>(std::move(deps));
    if (options.load)
        loaded = form->Form_Load();
}

TestWindow::~TestWindow() {
    form.reset();
    Module2::RemoveTrayIcon();
    Module2::SetTrayAvailableForTests(std::nullopt);
    MessageBox::resetAnswers();
}

void TestWindow::setTimeBoxes(const QString& hour, const QString& minute, const QString& period) {
    control<QComboBox>("Combo1")->setEditText(hour);
    control<QComboBox>("Combo2")->setEditText(minute);
    control<QComboBox>("Combo3")->setEditText(period);
}

void TestWindow::addTime(const QString& hour, const QString& minute, const QString& period) {
    setTimeBoxes(hour, minute, period);
    control<QPushButton>("Command1")->click();
}
