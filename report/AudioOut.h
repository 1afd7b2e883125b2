#pragma once

#include "core/Result.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

// 16-bit samples, channels interleaved.
struct Sound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<short> samples;

    int durationMs() const;
};

// One open 16-bit output stream on the sound server or device. Used from one thread at a time.
class AudioOut {
public:
    virtual ~AudioOut() = default;

    // Blocks while the device holds as much as it takes; false when the device failed.
    virtual bool write(const short* samples, size_t count) = 0;
    // Returns when everything written has been heard; false when the device failed.
    virtual bool drain() = 0;
    // Drops whatever was written and not heard yet.
    virtual void flush() = 0;
    // The most sound the device may hold before it is heard.
    virtual int bufferMs() const = 0;
    // The speech begins, behind the chime: from now on the device may hold more, so that a
    // busy machine does not starve it.
    virtual void speechBegins() {}
    // Makes a write or drain under way, and every later one, give up at once. Any thread may
    // call it while another writes.
    virtual void abort() {}
};

// Opens a stream (never null), or says why it cannot.
using AudioOpener = std::function<Result<std::unique_ptr<AudioOut>>(int sampleRate, int channels)>;

// The system's sound server or device, through pcaudiolib.
Result<std::unique_ptr<AudioOut>> OpenSoundDevice(int sampleRate, int channels);

// Plays the whole sound and returns when it has been heard; false when no device could be
// opened or the device failed.
bool PlaySound(const Sound& sound, const AudioOpener& open = OpenSoundDevice);
