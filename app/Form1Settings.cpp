// Setting controls: each change is stored at once.
#include "app/Form1.h"

#include "app/Module2.h"
#include "settings/SettingControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

using Settings::File;

void Form1::Check1_Click() {
    settingStored(Settings::StoreSection(DataDir, File::Wind, Check1->checkState()));
}
void Form1::Check2_Click() {
    settingStored(Settings::StoreSection(DataDir, File::Forecast, Check2->checkState()));
}
void Form1::Check3_Click() {
    settingStored(Settings::StoreSection(DataDir, File::Location, Check3->checkState()));
}
void Form1::Check4_Click() {
    settingStored(Settings::StoreSection(DataDir, File::Sun, Check4->checkState()));
}
void Form1::Check5_Click() {
    settingStored(Settings::StoreSection(DataDir, File::Atmosphere, Check5->checkState()));
}
void Form1::Option1_Click() {
    settingStored(Settings::StoreUnits(DataDir, false));
}
void Form1::Option2_Click() {
    settingStored(Settings::StoreUnits(DataDir, true));
}
void Form1::VoiceCB_Click() {
    settingStored(Settings::ChooseVoice(DataDir, SpeechEngine.get(), VoiceCB->currentIndex()));
}
void Form1::cmdSave_Click() {
    // The window goes to the tray only once the ZIP code is safely stored.
    if (settingStored(Settings::StoreZip(DataDir, Location->text())))
        Module2::AddTrayIcon(windowIcon(), windowTitle(), this);
}

bool Form1::settingStored(const WriteResult& result) {
    if (!result && !m_loading)
        QMessageBox::warning(this, QStringLiteral("Nimbrel"), result.error);
    return result.ok;
}
