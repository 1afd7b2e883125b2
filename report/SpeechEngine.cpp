#include "report/SpeechEngine.h"

#include "report/ErrorCodes.h"

VoiceToken Item(const VoiceTokens& voices, int position) {
    if (position < 0 || static_cast<size_t>(position) >= voices.size())
        throw NimbrelError(ErrorCode::SpeechNoVoice,
                           QStringLiteral("No voice at position %1").arg(position));
    return voices[static_cast<size_t>(position)];
}
