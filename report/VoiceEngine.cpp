#include "report/VoiceEngine.h"

#include "report/Chime.h"
#include "report/EspeakSynthesiser.h"
#include "report/FliteVoices.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <malloc.h>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

// Short pieces let a purge or the end cut in promptly.
constexpr int kPieceMs = 20;
// How long closing the engine waits for its threads to finish; one held by a frozen sound
// server is left to finish on its own.
constexpr auto kCloseWait = std::chrono::milliseconds(300);

struct Family {
    VoiceTokens voices;
    SynthesiserLoader load;
    std::shared_ptr<Synthesiser> synthesiser; // once loaded
};

struct QueuedText {
    QString text;
    QString voiceId;
    std::shared_ptr<Synthesiser> synthesiser;
};

} // namespace

struct VoiceEngine::State {
    AudioOpener openAudio;
    std::vector<Family> families; // espeak-ng's first

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<QueuedText> queue;
    std::atomic<std::uint64_t> generation{0}; // moves on at every purge and at the end
    std::unique_ptr<AudioOut> device;         // opened by Speak, closed by the worker
    std::unique_ptr<AudioOut> chimeDevice;    // has just played the chime; waits for a purge
    std::unique_ptr<AudioOut> nextDevice;     // handed over by a purge, taken by the worker
    std::vector<AudioOut*> chiming;           // streams a chime is being written to
    bool purgeWaitsForChime = false;          // the chime's stream goes to the worker when done
    QString voiceId;
    size_t family = 0;
    std::optional<NimbrelError> failure;      // of an earlier text, told by the next Speak
    std::optional<NimbrelError> chimeFailure; // the chime's stream is dead: told by the purge
    bool stop = false;
    std::atomic<bool> closing{false}; // stop, read without the lock
    int threads = 0;

    std::shared_ptr<Synthesiser> synthesiser(size_t index);
    Synthesiser::Outcome speakOne(const QueuedText& item, std::uint64_t startedAt, AudioOut* out,
                                  bool* outFailed);
    void playChime(const QString& path, const std::function<void()>& heard);
    void run();
    void threadDone() {
        std::lock_guard lock(mutex);
        --threads;
        finished.notify_all();
    }
};

// The family's synthesiser, loaded now if it is not yet. Called on the caller's thread only.
std::shared_ptr<Synthesiser> VoiceEngine::State::synthesiser(size_t index) {
    SynthesiserLoader load;
    {
        std::lock_guard lock(mutex);
        if (families[index].synthesiser)
            return families[index].synthesiser;
        load = families[index].load;
    }
    QString why = QStringLiteral("no synthesiser for this voice");
    std::shared_ptr<Synthesiser> loaded = load ? load(&why) : nullptr;
    if (!loaded)
        throw NimbrelError(
            ErrorCode::SpeechInitFailed,
            QStringLiteral("The voice's synthesiser could not be loaded: %1").arg(why));
    std::lock_guard lock(mutex);
    families[index].synthesiser = loaded;
    return loaded;
}

Synthesiser::Outcome VoiceEngine::State::speakOne(const QueuedText& item, std::uint64_t startedAt,
                                                  AudioOut* out, bool* outFailed) {
    const Synthesiser::Sink sink = [&](const short* samples, size_t count) {
        if (generation.load() != startedAt)
            return false;
        if (!out->write(samples, count)) {
            *outFailed = true;
            return false;
        }
        return true;
    };
    return item.synthesiser->synthesise(item.text, item.voiceId, sink);
}

void VoiceEngine::State::playChime(const QString& path, const std::function<void()>& heard) {
    const Sound sound = ToMono(LoadChimeSound(path), kSpeechRate);
    Result<std::unique_ptr<AudioOut>> opened = openAudio(kSpeechRate, 1);
    std::unique_ptr<AudioOut> out = opened ? std::move(opened.value()) : nullptr;
    bool played = out != nullptr;
    {
        std::lock_guard lock(mutex);
        if (out)
            chiming.push_back(out.get());
    }
    const auto piece = static_cast<size_t>(kSpeechRate * kPieceMs / 1000);
    for (size_t at = 0; played && at < sound.samples.size(); at += piece) {
        if (closing)
            break;
        played = out->write(sound.samples.data() + at, std::min(piece, sound.samples.size() - at));
    }
    std::unique_ptr<AudioOut> dead;
    {
        std::lock_guard lock(mutex);
        std::erase(chiming, out.get());
        if (stop || !played) {
            // The sound server is gone or frozen: the speech that waits for this stream, or
            // else the next announcement's, says so instead of waiting on the server again.
            dead = std::move(out);
            const NimbrelError why(ErrorCode::SpeechNoAudioDevice,
                                   opened ? QStringLiteral("the sound server stopped taking sound")
                                          : opened.error());
            if (purgeWaitsForChime)
                failure = why;
            else
                chimeFailure = why;
            purgeWaitsForChime = false;
        } else if (purgeWaitsForChime) {
            nextDevice = std::move(out);
            purgeWaitsForChime = false;
            wake.notify_all();
        } else {
            dead = std::exchange(chimeDevice, std::move(out));
        }
    }
    dead.reset();
    heard();
}

// The worker: speaks the queue in order; on a purge drops what the device still holds; when
// the queue runs dry it plays silence until the device can hold nothing else, then closes it.
// (A drain cannot be interrupted, and a purge must be heard at once.)
void VoiceEngine::State::run() {
    const std::vector<short> silence(static_cast<size_t>(kSpeechRate * kPieceMs / 1000));
    std::unique_lock lock(mutex);
    std::uint64_t seen = generation;
    int silenceMs = 0;
    bool spoke = false;       // since memory was last handed back
    bool behindChime = false; // the device played the chime; no speech yet
    while (!stop) {
        if (generation != seen) {
            seen = generation;
            if (device) {
                AudioOut* out = device.get();
                lock.unlock();
                out->flush();
                lock.lock();
                silenceMs = out->bufferMs();
            }
            if (nextDevice) {
                // The purged speech's stream goes; the chime's stream speaks on.
                std::unique_ptr<AudioOut> purged = std::exchange(device, std::move(nextDevice));
                behindChime = true;
                silenceMs = 0;
                lock.unlock();
                purged.reset();
                // What the cut-off speech freed stays in the threads' malloc arenas unless
                // handed back, announcement after announcement. A millisecond or two, well
                // within what the chime's stream still holds.
                ::malloc_trim(0);
                lock.lock();
            }
            continue;
        }
        if (!queue.empty() && device) {
            const QueuedText item = std::move(queue.front());
            queue.pop_front();
            AudioOut* out = device.get();
            // Not before: the silence that may come first would fill the larger buffer.
            if (std::exchange(behindChime, false))
                out->speechBegins();
            lock.unlock();
            bool outFailed = false;
            const Synthesiser::Outcome outcome = speakOne(item, seen, out, &outFailed);
            lock.lock();
            silenceMs = 0;
            spoke = true;
            if (outFailed) {
                // The next Speak opens the device anew and says so if it still fails.
                device.reset();
                queue.clear();
            } else if (outcome == Synthesiser::Outcome::VoiceFailed) {
                failure.emplace(ErrorCode::SpeechSetVoiceFailed,
                                QStringLiteral("could not load voice \"%1\"").arg(item.voiceId));
            } else if (outcome == Synthesiser::Outcome::SynthesisFailed) {
                failure.emplace(ErrorCode::SpeechSynthesisFailed,
                                QStringLiteral("could not synthesise the text"));
            }
            continue;
        }
        if (device) {
            if (silenceMs >= device->bufferMs()) {
                device.reset();
                continue;
            }
            AudioOut* out = device.get();
            lock.unlock();
            const bool written = out->write(silence.data(), silence.size());
            lock.lock();
            silenceMs += kPieceMs;
            if (!written)
                device.reset();
            continue;
        }
        if (spoke) {
            // The announcement is over: the program lives in the tray all day.
            spoke = false;
            lock.unlock();
            ::malloc_trim(0);
            lock.lock();
            continue;
        }
        wake.wait(lock);
    }
    std::unique_ptr<AudioOut> last = std::move(device);
    lock.unlock();
    if (last)
        last->flush();
}

VoiceEngine::VoiceEngine(AudioOpener openAudio, std::vector<VoiceFamily> families)
    : m_state(std::make_shared<State>()) {
    if (!openAudio)
        throw NimbrelError(ErrorCode::SpeechInitFailed, QStringLiteral("no sound output"));
    m_state->openAudio = std::move(openAudio);
    std::shared_ptr<Synthesiser> espeak = CreateEspeakSynthesiser();
    m_state->families.push_back({espeak->voices(), {}, espeak});
    for (VoiceFamily& family : families)
        m_state->families.push_back({std::move(family.voices), std::move(family.load), nullptr});
    m_state->threads = 1;
    std::thread([state = m_state] {
        state->run();
        state->threadDone();
    }).detach();
}

VoiceEngine::~VoiceEngine() {
    std::unique_lock lock(m_state->mutex);
    m_state->stop = true;
    m_state->closing = true;
    m_state->queue.clear();
    ++m_state->generation;
    for (AudioOut* out : m_state->chiming)
        out->abort();
    if (m_state->device)
        m_state->device->abort();
    m_state->wake.notify_all();
    m_state->finished.wait_for(lock, kCloseWait, [&] { return m_state->threads == 0; });
}

VoiceTokens VoiceEngine::GetVoices() const {
    VoiceTokens voices;
    for (const Family& family : m_state->families)
        voices.insert(voices.end(), family.voices.begin(), family.voices.end());
    return voices;
}

void VoiceEngine::SetVoice(const VoiceToken& voice) {
    for (size_t index = 0; index < m_state->families.size(); ++index) {
        for (const VoiceToken& listed : m_state->families[index].voices) {
            if (listed.id == voice.id) {
                std::lock_guard lock(m_state->mutex);
                m_state->voiceId = voice.id;
                m_state->family = index;
                return;
            }
        }
    }
    RequireListed({}, voice);
}

void VoiceEngine::Speak(const QString& text, int flags) {
    State& state = *m_state;
    size_t family = 0;
    {
        std::lock_guard lock(state.mutex);
        if (state.failure) {
            const NimbrelError failure = *state.failure;
            state.failure.reset();
            throw failure;
        }
        if (flags & SVSFPurgeBeforeSpeak) {
            state.queue.clear();
            ++state.generation;
            if (state.chimeFailure) {
                const NimbrelError failure = *state.chimeFailure;
                state.chimeFailure.reset();
                state.wake.notify_all();
                throw failure;
            }
            if (state.chimeDevice)
                state.nextDevice = std::move(state.chimeDevice);
            else if (!state.chiming.empty())
                state.purgeWaitsForChime = true;
            state.wake.notify_all();
        }
        family = state.family;
    }
    if (text.isEmpty())
        return;
    std::shared_ptr<Synthesiser> synthesiser = state.synthesiser(family);
    std::lock_guard lock(state.mutex);
    // Opened here rather than on the worker so that a missing device fails this call.
    if (!state.device && !state.nextDevice && !state.purgeWaitsForChime) {
        Result<std::unique_ptr<AudioOut>> opened = state.openAudio(kSpeechRate, 1);
        if (!opened)
            throw NimbrelError(ErrorCode::SpeechNoAudioDevice, opened.error());
        state.device = std::move(opened.value());
    }
    state.queue.push_back({text, state.voiceId, std::move(synthesiser)});
    state.wake.notify_all();
}

void VoiceEngine::Chime(const QString& path, std::function<void()> heard) {
    // The voice's synthesiser loads meanwhile, so that the speech follows the chime at once; a
    // failure is told by Speak.
    size_t family = 0;
    {
        std::lock_guard lock(m_state->mutex);
        family = m_state->family;
        m_state->chimeFailure.reset();
        ++m_state->threads;
    }
    try {
        m_state->synthesiser(family);
    } catch (const NimbrelError&) {
    }
    std::thread([state = m_state, path, heard = std::move(heard)] {
        state->playChime(path, heard);
        state->threadDone();
    }).detach();
}

std::vector<short> VoiceEngine::Synthesise(const QString& text) {
    QueuedText item;
    size_t family = 0;
    {
        std::lock_guard lock(m_state->mutex);
        item.voiceId = m_state->voiceId;
        family = m_state->family;
    }
    item.synthesiser = m_state->synthesiser(family);
    std::vector<short> samples;
    const Synthesiser::Outcome outcome =
        item.synthesiser->synthesise(text, item.voiceId, [&](const short* data, size_t count) {
            samples.insert(samples.end(), data, data + count);
            return true;
        });
    if (outcome != Synthesiser::Outcome::Spoken)
        throw NimbrelError(ErrorCode::SpeechSynthesisFailed,
                           QStringLiteral("could not synthesise the text"));
    return samples;
}

std::unique_ptr<SpeechEngine> CreateVoiceEngine(SynthesiserLoader loadFlite) {
    try {
        return std::make_unique<VoiceEngine>(
            OpenSoundDevice,
            std::vector<VoiceFamily>{
                {FliteVoices::List(FliteVoices::LibraryDirs()), std::move(loadFlite)}});
    } catch (const NimbrelError&) {
        return nullptr;
    }
}
