// The bindings: each control hands its event to the core, and the core's signals land in the
// controls, message boxes, the tray and the desktop's notifications.
#include "app/Form1.h"

#include "app/DesktopNotification.h"
#include "app/MessageBox.h"
#include "app/Module2.h"
#include "app/Version.h"
#include "schedule/TimeKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

using Settings::File;

const std::array<Form1::SectionBox, 5> Form1::kSectionBoxes = {{
    {&Form1::Check1, File::WindSection},
    {&Form1::Check3, File::CitySection},
    {&Form1::Check2, File::ForecastSection},
    {&Form1::Check4, File::SunSection},
    {&Form1::Check5, File::AtmosphereSection},
}};

bool Form1::Form_Load() {
    if (!m_core.Form_Load())
        return false;
    setWindowTitle(QStringLiteral("Nimbrel %1.%2").arg(kVersionMajor).arg(kVersionMinor));
    centreOnScreen();
    const bool inTray = m_core.settings().zipStored() && addTrayIcon();
    if (!inTray)
        show();
    return true;
}

void Form1::connectCore() {
    connect(&m_core, &AppCore::cityFound, this, [this](const QString& text) {
        if (CityFound)
            CityFound->setText(text);
    });
    connect(&m_core, &AppCore::reportText, this, [this](const QString& text) {
        if (txtWeather)
            txtWeather->setText(text);
    });
    connect(&m_core, &AppCore::showWindow, this, [this] { Module2::ShowFromTray(this); });
    connect(&m_core, &AppCore::failedToReport, this, &Form1::tellFailure);
    connect(&m_core, &AppCore::noticeToShow, this, &Form1::showNotice);
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
    const Settings::Store& settings = m_core.settings();
    Location->setText(settings.zip());
    Greeting->setText(settings.greeting());
    (settings.metric() ? Option2 : Option1)->setChecked(true);
    for (const SectionBox& row : kSectionBoxes)
        (this->*row.box)->setChecked(settings.section(row.file));
    if (const SpeechEngine* engine = m_core.speechEngine()) {
        for (const VoiceToken& voice : engine->GetVoices())
            VoiceCB->addItem(voice.GetDescription());
    }
    VoiceCB->setCurrentIndex(m_core.voicePosition());
    CityFound->setText(m_core.cityText());
    txtWeather->setText(m_core.weatherText());
    connectEvents();
}

void Form1::connectEvents() {
    // A greyed box counts as unchecked.
    for (const SectionBox& row : kSectionBoxes)
        connect(this->*row.box, &QCheckBox::stateChanged, this, [this, file = row.file](int state) {
            m_core.SetSection(file, state == Qt::Checked);
        });
    // What is typed counts at once for the report, though it is stored only on "&Okay" or after
    // a lookup.
    connect(Location, &QLineEdit::textChanged, &m_core, &AppCore::setZip);
    connect(Greeting, &QLineEdit::textChanged, &m_core, &AppCore::setGreeting);
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_core.SetMetric(false);
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_core.SetMetric(true);
    });
    connect(VoiceCB, &QComboBox::currentIndexChanged, this, &Form1::VoiceCB_Click);
    connect(cmdSave, &QPushButton::clicked, this, &Form1::cmdSave_Click);
    connect(SpeakItBtn, &QPushButton::clicked, this, &Form1::SpeakItBtn_Click);
    connect(ExitBtn, &QPushButton::clicked, this, &Form1::ExitBtn_Click);
    connect(Command1, &QPushButton::clicked, this, [this] {
        m_core.AddTime(Combo1->currentText(), Combo2->currentText(), Combo3->currentText());
    });
    connect(Command2, &QPushButton::clicked, &m_core, &AppCore::RemoveTicked);
}

void Form1::VoiceCB_Click() {
    if (const int position = VoiceCB->currentIndex(); position >= 0)
        m_core.SelectVoice(position);
}

void Form1::cmdSave_Click() {
    // The window goes to the tray only once the ZIP code is safely stored.
    if (m_core.SaveZip())
        addTrayIcon();
}

void Form1::SpeakItBtn_Click() {
    SpeakItBtn->setEnabled(false);
    m_core.SpeakWeather();
    SpeakItBtn->setEnabled(true);
}

void Form1::tellFailure(const QString& message) {
    const auto showWindow = [this] { Module2::ShowFromTray(this); };
    if (!m_deps.notificationBus) {
        showWindow();
        return;
    }
    SendNotification(m_deps.notificationBus(), windowTitle(), message, this, showWindow);
}

void Form1::showNotice(AppCore::Notice kind, const QString& text) {
    MessageBox::Show(
        this, {kind == AppCore::Notice::Critical ? QMessageBox::Critical : QMessageBox::Warning,
               QStringLiteral("Nimbrel"), text});
}

bool Form1::addTrayIcon() {
    return Module2::AddTrayIcon(
        windowIcon(), windowTitle(), this, [this] { ExitBtn_Click(); }, m_deps.notificationArea);
}

void Form1::centreOnScreen() {
    const QRect screenArea = screen()->geometry();
    const QSize outer = frameGeometry().size();
    move((screenArea.width() - outer.width()) / 2, (screenArea.height() - outer.height()) / 2);
}
