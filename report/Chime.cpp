#include "report/Chime.h"

#include "report/AudioOut.h"

#include <QFile>
#include <sndfile.h>

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

void PlayChime(const QString& path) {
    PlaySound(LoadChimeSound(path));
}
