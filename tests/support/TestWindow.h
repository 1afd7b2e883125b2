#pragma once

#include "app/Form1.h"
#include "tests/support/FixedClock.h"
#include "tests/support/LoopbackFeedServer.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <memory>

struct TestWindowOptions {
    int voices = 3;             // the recording engine's voices; -1: no speech engine at all
    QStringList voiceLanguages; // their language tags
    std::chrono::milliseconds fetchTimeout{3000};
    QString feedHost;                                 // empty: the rig's own loopback server
    std::shared_ptr<const Clock> clock;               // empty: the rig's fixed clock
    QString documentsDir;                             // empty: the rig's temporary folder
    QString runtimeDir;                               // empty: the rig's temporary folder
    bool load = true;                                 // run the load step at once
    std::function<QDBusConnection()> notificationBus; // none: failures are shown, not told
};

// The real window with its seams: temporary documents and runtime folders, a loopback feed server
// with a whole document, a recording speech engine and a fixed clock. Message boxes are answered
// ahead of time through MessageBox::setNextAnswer; unused answers go with the rig.
class TestWindow final {
public:
    explicit TestWindow(TestWindowOptions options = {});
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    // A control (or timer) of the window by its design name; fails the test when there is none.
    template <typename T> T* control(const char* name) const {
        T* found = form->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("the window has no control %s", name);
        return found;
    }
    QString dataDir() const { return form->dataDir(); }
    QString chimePath() const;
    // The bytes of a file in the data folder, or "<missing>".
    QByteArray stored(const char* name) const;
    // Puts the texts into the three time boxes, then (addTime) presses "&Add".
    void setTimeBoxes(const QString& hour, const QString& minute, const QString& period);
    void addTime(const QString& hour, const QString& minute, const QString& period);

    // Declared first: the folders outlive the window.
    QTemporaryDir documents;
    QTemporaryDir runtime;
    LoopbackFeedServer feed;
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    RecordingSpeechEngine* engine = nullptr; // owned by the window
    int enginesCreated = 0;
    int quits = 0;
    std::unique_ptr<Form1> form;
    bool loaded = false;
};
