#include "report/Chime.h"

#include "report/AudioOut.h"

#include <QFile>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Longer files are not a chime; reading them whole would only hold up the announcement.
constexpr sf_count_t kMaxSeconds = 10;

// Two soft bell notes, in place of a missing or unreadable file.
Sound standInTone() {
    constexpr int rate = 22050;
    constexpr double seconds = 0.6;
    constexpr double notes[] = {880.0, 1318.5};
    Sound tone{rate, 1, {}};
    const auto frames = static_cast<size_t>(rate * seconds);
    tone.samples.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        double value = 0.0;
        for (size_t n = 0; n < std::size(notes); ++n) {
            const double start = 0.15 * static_cast<double>(n);
            if (t < start)
                continue;
            const double local = t - start;
            const double attack = std::min(1.0, local / 0.005);
            value += attack * std::exp(-5.0 * local) *
                     std::sin(2.0 * std::numbers::pi * notes[n] * local);
        }
        tone.samples[i] = static_cast<short>(std::lround(value * 0.35 * 32767.0));
    }
    return tone;
}

} // namespace

Sound LoadChimeSound(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return standInTone();
    Sound sound{info.samplerate, info.channels, {}};
    if (info.samplerate > 0 && info.channels > 0 && info.channels <= 8 && info.frames > 0 &&
        info.frames <= kMaxSeconds * info.samplerate) {
        sound.samples.resize(static_cast<size_t>(info.frames * info.channels));
        const sf_count_t read = sf_readf_short(file, sound.samples.data(), info.frames);
        sound.samples.resize(static_cast<size_t>(std::max<sf_count_t>(read, 0) * info.channels));
    }
    sf_close(file);
    return sound.samples.empty() ? standInTone() : sound;
}

Sound ToMono(const Sound& sound, int sampleRate) {
    if (sound.sampleRate <= 0 || sound.channels <= 0 || sampleRate <= 0)
        return {sampleRate, 1, {}};
    if (sound.channels == 1 && sound.sampleRate == sampleRate)
        return sound;
    const size_t frames = sound.samples.size() / static_cast<size_t>(sound.channels);
    std::vector<double> mono(frames);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0.0;
        for (int c = 0; c < sound.channels; ++c)
            sum += sound.samples[f * static_cast<size_t>(sound.channels) + static_cast<size_t>(c)];
        mono[f] = sum / sound.channels;
    }
    Sound out{sampleRate, 1, {}};
    if (frames == 0)
        return out;
    const double step = static_cast<double>(sound.sampleRate) / sampleRate;
    const auto count = static_cast<size_t>(static_cast<double>(frames) / step);
    out.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const double at = static_cast<double>(i) * step;
        const auto left = std::min(static_cast<size_t>(at), frames - 1);
        const size_t right = std::min(left + 1, frames - 1);
        const double part = at - static_cast<double>(left);
        out.samples[i] =
            static_cast<short>(std::lround(mono[left] * (1.0 - part) + mono[right] * part));
    }
    return out;
}

void PlayChime(const QString& path) {
    PlaySound(LoadChimeSound(path));
}
