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
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

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
            return Settings::IsSettingsFileName(name) || ParseScheduleFileName(name).has_value();
        });
    });

    runStep([&] {
        if (m_deps.createSpeechEngine)
            SpeechEngine = m_deps.createSpeechEngine();
    });
    runStep([&] { RefreshTimeList(); });
    setWindowTitle(QStringLiteral("Nimbrel %1.%2").arg(kVersionMajor).arg(kVersionMinor));
    runStep([&] { centreOnScreen(); });

    // The stored settings, applied as the controls' handlers would: each is written back. The
    // controls themselves show them once the window is first shown.
    bool inTray = false;
    runStep([&] { m_settings.Load(); });
    runStep([&] {
        if (m_settings.zipStored())
            inTray = Module2::AddTrayIcon(windowIcon(), windowTitle(), this,
                                          [this] { ExitBtn_Click(); });
    });
    runStep([&] {
        if (m_settings.metric())
            Option2_Click();
    });
    for (const SectionBox& row : kSectionBoxes)
        runStep([&] {
            if (m_settings.section(row.file))
                SectionBox_Click(row.file, Qt::Checked);
        });

    VoiceTokens voices;
    int firstStartVoice = 0;
    runStep([&] {
        if (!SpeechEngine)
            return;
        voices = SpeechEngine->GetVoices();
        // espeak-ng lists Afrikaans first: a first start would read the English report in it.
        firstStartVoice = DefaultVoicePosition(voices);
    });
    runStep([&] {
        if (const auto position =
                m_settings.voicePosition(static_cast<int>(voices.size()), firstStartVoice))
            selectVoice(*position);
    });

    m_loading = false;
    if (!inTray)
        show();
    return true;
}

void Form1::buildControls() {
    createControls();
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

    // Filled before the handlers are connected: what they would store is stored already.
    Location->setText(m_settings.zip());
    Greeting->setText(m_settings.greeting());
    (m_settings.metric() ? Option2 : Option1)->setChecked(true);
    for (const SectionBox& row : kSectionBoxes)
        (this->*row.box)->setChecked(m_settings.section(row.file));
    if (SpeechEngine) {
        for (const VoiceToken& voice : SpeechEngine->GetVoices())
            VoiceCB->addItem(voice.GetDescription());
    }
    VoiceCB->setCurrentIndex(m_voicePosition);
    CityFound->setText(m_cityText);
    txtWeather->setText(m_weatherText);
    connectEvents();
}

void Form1::centreOnScreen() {
    const QRect screenArea = screen()->geometry();
    const QSize outer = frameGeometry().size();
    move((screenArea.width() - outer.width()) / 2, (screenArea.height() - outer.height()) / 2);
}
