#pragma once

#include "appcore/AppCore.h"
#include "tests/support/FixedClock.h"
#include "tests/support/LoopbackFeedServer.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QTemporaryDir>
#include <chrono>
#include <memory>

struct TestRigOptions {
    int voices = 3;             // the recording engine's voices; -1: no speech engine at all
    QStringList voiceLanguages; // their language tags
    std::chrono::milliseconds fetchTimeout{3000};
    QString feedHost;                   // empty: the rig's own loopback server
    std::shared_ptr<const Clock> clock; // empty: the rig's fixed clock
    QString documentsDir;               // empty: the rig's temporary folder
    QString runtimeDir;                 // empty: the rig's temporary folder
    bool load = true;                   // run the load step at once
    FeedFetch fetch;                    // empty: Qt Network on the test's thread
    SpeechEngineFactory speechEngine;   // empty: the recording engine
};

// The seams the application core takes: temporary documents and runtime folders, a loopback feed
// server with a whole document, a recording speech engine and a fixed clock.
class TestRig {
public:
    TestRig() = default;
    TestRig(const TestRig&) = delete;
    TestRig& operator=(const TestRig&) = delete;

    QString chimePath() const;
    // The bytes of a file in the data folder, or "<missing>".
    QByteArray stored(const char* name) const;
    QString dataDir() const { return m_dataDir; }

    // Declared first: the folders outlive what the rig holds.
    QTemporaryDir documents;
    QTemporaryDir runtime;
    LoopbackFeedServer feed;
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    RecordingSpeechEngine* engine = nullptr; // owned by the core
    int enginesCreated = 0;
    bool loaded = false;

protected:
    ~TestRig() = default;
    AppCoreDeps coreDeps(const TestRigOptions& options);

private:
    QString m_dataDir;
};

// The application core alone, with what its signals told.
class TestCore final : public TestRig {
public:
    explicit TestCore(TestRigOptions options = {});

    std::unique_ptr<AppCore> core;
    QString city;    // the last city found
    QString weather; // the last report text
    int windowShown = 0;
    QStringList failures;                               // of announcements of the clock
    QList<std::pair<AppCore::Notice, QString>> notices; // message boxes asked for
};
