#pragma once

#include "app/Form1.h"
#include "tests/support/TestRig.h"

#include <QTest>
#include <memory>

struct TestWindowOptions : TestRigOptions {
    std::function<QDBusConnection()> notificationBus; // none: failures are shown, not told
    std::optional<bool> notificationArea;             // none: the platform's answer
};

// The real window with its seams. Message boxes are answered ahead of time through
// MessageBox::setNextAnswer; unused answers go with the rig.
class TestWindow final : public TestRig {
public:
    explicit TestWindow(TestWindowOptions options = {});
    ~TestWindow();

    // A control (or timer) of the window by its design name; fails the test when there is none.
    template <typename T> T* control(const char* name) const {
        T* found = form->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("the window has no control %s", name);
        return found;
    }

    int quits = 0;
    std::unique_ptr<Form1> form;
};
