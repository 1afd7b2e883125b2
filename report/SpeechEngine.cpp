#include "report/SpeechEngine.h"

int DefaultVoicePosition(const VoiceTokens& voices) {
    const auto firstWhere = [&](auto wanted) {
        for (size_t i = 0; i < voices.size(); ++i)
            if (wanted(voices[i].language.toLower()))
                return static_cast<int>(i);
        return -1;
    };
    int position = firstWhere([](const QString& tag) { return tag == u"en-us"; });
    if (position < 0)
        position =
            firstWhere([](const QString& tag) { return tag == u"en" || tag.startsWith(u"en-"); });
    return position < 0 ? 0 : position;
}
