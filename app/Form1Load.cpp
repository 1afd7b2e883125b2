// The load step: runs once, before the window is first shown. It never stops on an error and
// never reports one; a step that fails is skipped and the next one runs.
#include "app/Form1.h"

#include "app/InstanceLock.h"
#include "app/Module2.h"
#include "app/Version.h"
#include "core/AtomicFile.h"
#include "schedule/TimeKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QLockFile>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>
#include <future>

namespace {

template <typename Step> void runStep(Step&& step) {
    try {
        step();
    } catch (...) {
        // Start-up reaches its end whatever a step throws.
    }
}

} // namespace

bool Form1::Form_Load() {
    m_loading = true;
    runStep([&] { QDir().mkpath(DataDir); });

    // One instance per user; the data folder stands in when the runtime folder cannot hold the
    // lock.
    const QString lockName = QStringLiteral("/nimbrel.lock");
    InstanceLock lock = TakeInstanceLock(
        m_deps.runtimeDir.isEmpty() ? QString() : m_deps.runtimeDir + lockName, DataDir + lockName);
    if (lock.anotherRuns)
        return false;
    m_instanceLock = std::move(lock.held);
    runStep([&] {
        RemoveLeftoverTemporaryFiles(DataDir, [](const QString& name) {
            return Settings::IsSettingsFileName(name) ||
                   std::ranges::any_of(ProbingOrder(), [&name](const ProbedTime& time) {
                       return time.entryFile == name || time.markerFile == name;
                   });
        });
    });

    // espeak-ng reads its voices from disk; let it do so while the window is filled, and take the
    // engine when the voice list needs it.
    std::future<std::unique_ptr<::SpeechEngine>> engine;
    runStep([&] {
        if (m_deps.createSpeechEngine)
            engine = std::async(std::launch::async, m_deps.createSpeechEngine);
    });
    runStep([&] { RefreshTimeList(); });
    setWindowTitle(QStringLiteral("Nimbrel %1.%2").arg(kVersionMajor).arg(kVersionMinor));
    runStep([&] { centreOnScreen(); });

    QStringList hours, minutes;
    for (int hour = 1; hour <= 12; ++hour)
        hours.append(TwoDigits(hour));
    for (int minute = 0; minute < 60; ++minute)
        minutes.append(TwoDigits(minute));
    Combo1->addItems(hours);
    Combo2->addItems(minutes);
    Combo3->addItems({QStringLiteral("AM"), QStringLiteral("PM")});
    Combo1->setCurrentIndex(8);
    Combo2->setCurrentIndex(0);
    Combo3->setCurrentIndex(0);

    // The controls show the stored settings; their handlers run as for a user's change.
    bool inTray = false;
    runStep([&] { m_settings.Load(); });
    runStep([&] {
        Location->setText(m_settings.zip());
        if (m_settings.zipStored())
            inTray = Module2::AddTrayIcon(windowIcon(), windowTitle(), this);
    });
    runStep([&] { Greeting->setText(m_settings.greeting()); });
    runStep([&] { (m_settings.metric() ? Option2 : Option1)->setChecked(true); });
    for (const SectionBox& row : kSectionBoxes)
        runStep([&] { (this->*row.box)->setChecked(m_settings.section(row.file)); });

    int firstStartVoice = 0;
    runStep([&] {
        if (engine.valid())
            SpeechEngine = engine.get();
    });
    runStep([&] {
        if (!SpeechEngine)
            return;
        const QSignalBlocker filling(VoiceCB);
        const VoiceTokens voices = SpeechEngine->GetVoices();
        for (const VoiceToken& voice : voices)
            VoiceCB->addItem(voice.GetDescription());
        VoiceCB->setCurrentIndex(-1);
        // espeak-ng lists Afrikaans first: a first start would read the English report in it.
        firstStartVoice = DefaultVoicePosition(voices);
    });
    // Selecting runs the voice list's handler, which hands the voice to the engine and stores it.
    runStep([&] {
        if (const auto position = m_settings.voicePosition(VoiceCB->count(), firstStartVoice))
            VoiceCB->setCurrentIndex(*position);
    });

    m_loading = false;
    if (!inTray)
        show();
    return true;
}

void Form1::centreOnScreen() {
    const QRect screenArea = screen()->geometry();
    const QSize outer = frameGeometry().size();
    move((screenArea.width() - outer.width()) / 2, (screenArea.height() - outer.height()) / 2);
}
