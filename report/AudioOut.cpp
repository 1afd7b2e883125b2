#include "report/AudioOut.h"

#include "report/PulseOut.h"

#include <pcaudiolib/audio.h>

#include <QtGlobal>

#include <algorithm>
#include <bit>

int Sound::durationMs() const {
    if (sampleRate <= 0 || channels <= 0)
        return 0;
    const auto frames = static_cast<long long>(samples.size()) / channels;
    return static_cast<int>(frames * 1000 / sampleRate);
}

namespace {

constexpr audio_object_format kNativeS16 = std::endian::native == std::endian::little
                                               ? AUDIO_OBJECT_FORMAT_S16LE
                                               : AUDIO_OBJECT_FORMAT_S16BE;

// pcaudiolib leaves the buffer to the device's defaults (ALSA's, for it serves only where no
// sound server runs). A little more, so that sound written just before is surely out.
int deviceBufferMs() {
    return 2100;
}

class PcAudioOut final : public AudioOut {
public:
    explicit PcAudioOut(audio_object* object)
        : m_object(object)
        , m_bufferMs(deviceBufferMs()) {}
    ~PcAudioOut() override {
        audio_object_close(m_object);
        audio_object_destroy(m_object);
    }
    PcAudioOut(const PcAudioOut&) = delete;
    PcAudioOut& operator=(const PcAudioOut&) = delete;

    bool write(const short* samples, size_t count) override {
        return audio_object_write(m_object, samples, count * sizeof(short)) == 0;
    }
    bool drain() override { return audio_object_drain(m_object) == 0; }
    void flush() override { audio_object_flush(m_object); }
    int bufferMs() const override { return m_bufferMs; }

private:
    audio_object* m_object;
    int m_bufferMs;
};

} // namespace

Result<std::unique_ptr<AudioOut>> OpenSoundDevice(int sampleRate, int channels) {
    if (sampleRate <= 0 || channels <= 0 || channels > 255)
        return Failure{QStringLiteral("unsupported sound format")};
    bool noServer = false;
    Result<std::unique_ptr<AudioOut>> pulse = OpenPulseStream(sampleRate, channels, &noServer);
    if (pulse || !noServer)
        return pulse;

    audio_object* object = create_audio_device_object(nullptr, "Nimbrel", "Nimbrel");
    if (!object)
        return Failure{QStringLiteral("no sound server or device")};
    const int status = audio_object_open(object, kNativeS16, static_cast<uint32_t>(sampleRate),
                                         static_cast<uint8_t>(channels));
    if (status != 0) {
        const char* why = audio_object_strerror(object, status);
        audio_object_destroy(object);
        return Failure{QStringLiteral("cannot open the sound device: %1")
                           .arg(why ? QString::fromUtf8(why) : QString::number(status))};
    }
    return std::unique_ptr<AudioOut>(std::make_unique<PcAudioOut>(object));
}

bool PlaySound(const Sound& sound, const AudioOpener& open) {
    Result<std::unique_ptr<AudioOut>> opened = open(sound.sampleRate, sound.channels);
    if (!opened)
        return false;
    const std::unique_ptr<AudioOut> out = std::move(opened.value());
    // Small pieces keep each blocking write short.
    const size_t piece = static_cast<size_t>(std::max(1, sound.sampleRate / 50 * sound.channels));
    for (size_t at = 0; at < sound.samples.size(); at += piece) {
        if (!out->write(sound.samples.data() + at, std::min(piece, sound.samples.size() - at)))
            return false;
    }
    return out->drain();
}
