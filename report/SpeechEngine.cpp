#include "report/SpeechEngine.h"

#include "report/EspeakVoices.h"
#include "report/FliteVoices.h"

int DefaultVoicePosition(const VoiceTokens& voices) {
    const auto firstWhere = [&](auto wanted) {
        for (size_t i = 0; i < voices.size(); ++i)
            if (wanted(voices[i]))
                return static_cast<int>(i);
        return -1;
    };
    int position = firstWhere(
        [](const VoiceToken& voice) { return voice.id == QLatin1StringView(FliteVoices::kSltId); });
    if (position < 0)
        position = firstWhere(
            [](const VoiceToken& voice) { return voice.language.toLower() == u"en-us"; });
    if (position < 0)
        position = firstWhere([](const VoiceToken& voice) {
            const QString tag = voice.language.toLower();
            return tag == u"en" || tag.startsWith(u"en-");
        });
    return position < 0 ? 0 : position;
}

VoiceTokens InstalledVoices(const QString& espeakDataDir, const QStringList& fliteDirs) {
    VoiceTokens voices = EspeakVoices::List(espeakDataDir);
    const VoiceTokens flite = FliteVoices::List(fliteDirs);
    voices.insert(voices.end(), flite.begin(), flite.end());
    return voices;
}
