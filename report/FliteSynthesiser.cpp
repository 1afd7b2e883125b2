#include "report/FliteSynthesiser.h"

#include "report/FliteVoices.h"

#include <flite/flite.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <map>
#include <mutex>
#include <vector>

#include <dlfcn.h>

namespace {

// Flite's synthesis keeps global state: one synthesis at a time in the process.
std::mutex& fliteMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// From the voice's rate to the engine's, by linear interpolation, carrying the position and the
// last sample over from one piece to the next.
class Resampler {
public:
    void reset(int fromRate, int toRate) {
        m_step = static_cast<double>(fromRate) / toRate;
        m_at = 0.0;
        m_primed = false;
    }

    void run(const short* in, long count, double gain, std::vector<short>& out) {
        if (count <= 0)
            return;
        if (!m_primed) {
            m_previous = in[0];
            m_primed = true;
        }
        const auto sample = [&](long i) { return i < 0 ? m_previous : in[i]; };
        for (; m_at < static_cast<double>(count - 1); m_at += m_step) {
            const auto left = static_cast<long>(std::floor(m_at));
            const double part = m_at - static_cast<double>(left);
            const double value = gain * (sample(left) * (1.0 - part) + sample(left + 1) * part);
            out.push_back(static_cast<short>(std::clamp(std::lround(value), -32767L, 32767L)));
        }
        m_at -= static_cast<double>(count);
        m_previous = in[count - 1];
    }

private:
    double m_step = 1.0;
    double m_at = 0.0;
    short m_previous = 0;
    bool m_primed = false;
};

// Where the streaming callback sends the pieces of the synthesis under way.
struct Stream {
    const Synthesiser::Sink* sink;
    int sampleRate;
    double gain;
    Resampler resampler;
    std::vector<short> piece;
    bool stopped = false;
};

int onPiece(const cst_wave* wave, int start, int size, int /*last*/,
            cst_audio_streaming_info* info) {
    auto* stream = static_cast<Stream*>(info->userdata);
    if (stream->stopped)
        return CST_AUDIO_STREAM_STOP;
    // Each sentence is a wave of its own, streamed from its start.
    if (start == 0)
        stream->resampler.reset(wave->sample_rate, stream->sampleRate);
    stream->piece.clear();
    stream->resampler.run(wave->samples + start, size, stream->gain, stream->piece);
    if (!stream->piece.empty() && !(*stream->sink)(stream->piece.data(), stream->piece.size())) {
        stream->stopped = true;
        return CST_AUDIO_STREAM_STOP;
    }
    return CST_AUDIO_STREAM_CONT;
}

// Sentence by sentence, as flite reads a file: a whole text spoken as one utterance is phrased
// flatter and is harder to follow (a speech recogniser misses a third more of its words).
void speakSentences(const char* text, cst_voice* voice) {
    const cst_features* features = voice->features;
    cst_tokenstream* tokens =
        ts_open_string(text, get_param_string(features, "text_whitespace", nullptr),
                       get_param_string(features, "text_singlecharsymbols", nullptr),
                       get_param_string(features, "text_prepunctuation", nullptr),
                       get_param_string(features, "text_postpunctuation", nullptr));
    // Closes the token stream.
    if (tokens)
        flite_ts_to_speech(tokens, voice, "none");
}

// Flite ends the process on an error unless cst_errjmp names a place to return to. Only C
// frames lie between here and the error, so the jump skips no destructor.
bool speakGuarded(const char* text, cst_voice* voice) {
    jmp_buf here;
    jmp_buf* const previous = cst_errjmp;
    if (setjmp(here) != 0) {
        cst_errjmp = previous;
        return false;
    }
    cst_errjmp = &here;
    speakSentences(text, voice);
    cst_errjmp = previous;
    return true;
}

class FliteSynthesiser final : public Synthesiser {
public:
    FliteSynthesiser(int sampleRate, QStringList dirs)
        : m_sampleRate(sampleRate)
        , m_dirs(std::move(dirs))
        , m_voices(FliteVoices::List(m_dirs)) {}

    VoiceTokens voices() const override { return m_voices; }

    Outcome synthesise(const QString& text, const QString& voiceId, const Sink& sink) override {
        std::lock_guard lock(fliteMutex());
        cst_voice* voice = load(voiceId);
        if (!voice)
            return Outcome::VoiceFailed;
        Stream stream{&sink, m_sampleRate, FliteVoices::Gain(voiceId), {}, {}};
        cst_audio_streaming_info* info = new_audio_streaming_info();
        info->asc = &onPiece;
        info->userdata = &stream;
        feat_set(voice->features, "streaming_info", audio_streaming_info_val(info));
        const QByteArray utf8 = text.toUtf8();
        const bool spoken = speakGuarded(utf8.constData(), voice);
        // Removing the feature frees the streaming info with it.
        feat_remove(voice->features, "streaming_info");
        if (stream.stopped)
            return Outcome::Stopped;
        return spoken ? Outcome::Spoken : Outcome::SynthesisFailed;
    }

private:
    // The voice's library, loaded once and kept for the life of the process (Flite keeps
    // pointers into it). Call with fliteMutex held.
    cst_voice* load(const QString& id) {
        if (const auto found = m_loaded.find(id); found != m_loaded.end())
            return found->second;
        const QString path = FliteVoices::LibraryPath(id, m_dirs);
        if (path.isEmpty())
            return nullptr;
        void* library = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        using Register = cst_voice* (*)(const char*);
        const QByteArray entry = "register_" + FliteVoices::VoiceName(id).toLatin1();
        const auto registerVoice = reinterpret_cast<Register>(dlsym(library, entry.constData()));
        cst_voice* voice = registerVoice ? registerVoice(nullptr) : nullptr;
        if (voice)
            m_loaded.emplace(id, voice);
        return voice;
    }

    int m_sampleRate;
    QStringList m_dirs;
    VoiceTokens m_voices;
    std::map<QString, cst_voice*> m_loaded;
};

} // namespace

std::unique_ptr<Synthesiser> CreateFliteSynthesiser(int sampleRate, const QStringList& dirs,
                                                    QString* why) {
    if (sampleRate <= 0) {
        *why = QStringLiteral("unsupported sample rate");
        return nullptr;
    }
    {
        std::lock_guard lock(fliteMutex());
        static const bool started = flite_init() == 0;
        if (!started) {
            *why = QStringLiteral("Flite could not be initialised");
            return nullptr;
        }
    }
    return std::make_unique<FliteSynthesiser>(sampleRate, dirs);
}
