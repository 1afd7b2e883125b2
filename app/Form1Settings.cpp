// Setting controls: each change is kept in the settings store, which stores it at once.
#include "app/Form1.h"

#include "app/MessageBox.h"
#include "app/Module2.h"
#include "core/Error.h"
#include "report/ReportText.h"

#include <QCheckBox>
#include <QComboBox>

using Settings::File;

namespace {

// Makes the voice at position the engine's voice; the engine keeps its voice when this fails.
Result<> chooseVoice(SpeechEngine* engine, int position) {
    const auto refused = [](const QString& why) {
        return Failure{QStringLiteral("The voice could not be changed; the previous voice "
                                      "stays.\n\n%1")
                           .arg(why)};
    };
    if (!engine)
        return refused(QStringLiteral("No speech engine is available."));
    try {
        engine->SetVoice(Item(engine->GetVoices(), position));
    } catch (const NimbrelError& error) {
        return refused(error.detail());
    } catch (const std::exception& error) {
        return refused(QString::fromLocal8Bit(error.what()));
    }
    return {};
}

} // namespace

const std::array<Form1::SectionBox, 5> Form1::kSectionBoxes = {{
    {&Form1::Check1, File::WindSection, &SectionSwitches::wind},
    {&Form1::Check3, File::CitySection, &SectionSwitches::city},
    {&Form1::Check2, File::ForecastSection, &SectionSwitches::forecast},
    {&Form1::Check4, File::SunSection, &SectionSwitches::sun},
    {&Form1::Check5, File::AtmosphereSection, &SectionSwitches::atmosphere},
}};

SectionSwitches Form1::sectionSwitches() const {
    SectionSwitches switches;
    for (const SectionBox& row : kSectionBoxes)
        switches.*row.reportSwitch = m_settings.section(row.file);
    return switches;
}

void Form1::SectionBox_Click(File file, int state) {
    // A greyed box counts as unchecked.
    settingStored(file, m_settings.SetSection(file, state == Qt::Checked));
}
void Form1::Option1_Click() {
    settingStored(File::Units, m_settings.SetMetric(false));
}
void Form1::Option2_Click() {
    settingStored(File::Units, m_settings.SetMetric(true));
}
void Form1::VoiceCB_Click() {
    const int position = VoiceCB->currentIndex();
    if (position < 0)
        return; // nothing selected
    selectVoice(position);
}
void Form1::selectVoice(int position) {
    m_voicePosition = position;
    if (told(chooseVoice(SpeechEngine.get(), position)))
        settingStored(File::Voice, m_settings.SetVoicePosition(position));
}
void Form1::cmdSave_Click() {
    // The window goes to the tray only once the ZIP code is safely stored.
    if (settingStored(File::Zip, m_settings.SaveZip()))
        Module2::AddTrayIcon(windowIcon(), windowTitle(), this, [this] { ExitBtn_Click(); });
}

bool Form1::settingStored(File file, const Result<>& result) {
    if (result)
        return true;
    return told(Failure{QStringLiteral("The setting could not be saved to \"%1\".\n\n%2")
                            .arg(Settings::PathOf(DataDir, file), result.error())});
}

bool Form1::told(const Result<>& result) {
    if (!result && !m_loading)
        MessageBox::Show(this, {QMessageBox::Warning, QStringLiteral("Nimbrel"), result.error()});
    return result.ok();
}
