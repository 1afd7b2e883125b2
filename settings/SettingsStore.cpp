#include "settings/SettingsStore.h"

#include "core/Text.h"
#include "settings/ReadRules.h"

#include <algorithm>
#include <iterator>

namespace Settings {

Store::Store(QString dataDir)
    : m_dataDir(std::move(dataDir)) {}

std::size_t Store::sectionIndex(File file) {
    const auto* found = std::find(std::begin(kSectionFiles), std::end(kSectionFiles), file);
    Q_ASSERT(found != std::end(kSectionFiles));
    return static_cast<std::size_t>(found - std::begin(kSectionFiles));
}

void Store::Load() {
    m_zipStored = IsPresent(m_dataDir, File::Zip);
    m_zip = m_zipStored ? Read(m_dataDir, File::Zip) : DefaultOf(File::Zip);
    if (IsPresent(m_dataDir, File::Greeting))
        m_greeting = Read(m_dataDir, File::Greeting);
    m_metric = Read(m_dataDir, File::Units) == u"C";
    for (const File file : kSectionFiles) {
        QString value = DefaultOf(file);
        if (IsPresent(m_dataDir, file))
            value = Read(m_dataDir, file);
        else
            (void)Write(m_dataDir, file, value); // the box is checked either way
        m_sections[sectionIndex(file)] = value != u"N";
    }
    if (IsPresent(m_dataDir, File::Voice))
        m_voice = Read(m_dataDir, File::Voice);
}

std::optional<int> Store::voicePosition(int voiceCount, int whenMissing) const {
    const std::optional<int> position = m_voice ? ParsePosition(*m_voice) : whenMissing;
    if (!position || *position >= voiceCount)
        return std::nullopt;
    return position;
}

Result<> Store::SaveZip() {
    return Write(m_dataDir, File::Zip, TrimSpaces(m_zip));
}

Result<> Store::SaveGreeting() {
    return Write(m_dataDir, File::Greeting, TrimSpaces(m_greeting));
}

Result<> Store::SetMetric(bool metric) {
    m_metric = metric;
    return Write(m_dataDir, File::Units, metric ? QStringLiteral("C") : QStringLiteral("F"));
}

Result<> Store::SetSection(File file, bool on) {
    m_sections[sectionIndex(file)] = on;
    return Write(m_dataDir, file, on ? QStringLiteral("Y") : QStringLiteral("N"));
}

Result<> Store::SetVoicePosition(int position) {
    m_voice = QString::number(position);
    return Write(m_dataDir, File::Voice, *m_voice);
}

} // namespace Settings
