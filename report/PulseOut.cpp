#include "report/PulseOut.h"

#include <pulse/pulseaudio.h>

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A server that does not answer a connection within this is frozen or gone. Shorter than the
// 2 s the window waits beyond the chime, so that the announcement learns it in time.
constexpr milliseconds kConnectLimit{1800};
// A stream that takes nothing for this long is dead. Longer than a sink may sleep before it
// notices a new stream (PulseAudio's null sink, alone, up to 2 s).
constexpr milliseconds kStallLimit{4000};
// The chime's buffer: its last sample is heard at most this long after it is written, so the
// window's wait ends with the chime and the speech written next follows it at once.
constexpr int kChimeBufferMs = 50;
// The speech's buffer, once the chime is out: enough that a busy machine does not starve it.
// It grows only once that much speech is queued: a larger buffer lets the sink render further
// ahead, and what it renders ahead of a stream that has run dry it must take back when the
// speech comes. The sink's monitor cannot, and a recording lost the speech's first words.
constexpr int kSpeechBufferMs = 500;
// After an underrun, play resumes once this much is queued again.
constexpr int kPrebufferMs = 20;

// A buffer the user asked for with PULSE_LATENCY_MSEC; libpulse applies it to every stream
// whatever the program asks.
int askedBufferMs() {
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("PULSE_LATENCY_MSEC", &ok);
    return ok && asked > 0 ? asked : 0;
}

class PulseOut final : public AudioOut {
public:
    PulseOut(int sampleRate, int channels)
        : m_spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(sampleRate),
                 static_cast<uint8_t>(channels)} {}

    ~PulseOut() override {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_stream) {
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_set_write_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
        }
        if (m_context) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        pa_threaded_mainloop_unlock(m_loop);
        // The loop's thread only polls; it never waits on the server.
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }
    PulseOut(const PulseOut&) = delete;
    PulseOut& operator=(const PulseOut&) = delete;

    // Connects and opens the stream; an empty text when it worked, else why not.
    QString open(bool* noServer) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0)
            return QStringLiteral("cannot start the sound server's client");
        pa_threaded_mainloop_lock(m_loop);
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Nimbrel");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Nimbrel",
                                                 properties);
        pa_proplist_free(properties);
        pa_context_set_state_callback(m_context, &PulseOut::onChange, this);
        const bool started =
            pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0;
        pa_threaded_mainloop_unlock(m_loop);
        if (!started || !await(kConnectLimit, [&] { return contextReady(); })) {
            pa_threaded_mainloop_lock(m_loop);
            const int error = pa_context_errno(m_context);
            pa_threaded_mainloop_unlock(m_loop);
            *noServer = error == PA_ERR_CONNECTIONREFUSED || error == PA_ERR_INVALIDSERVER ||
                        error == PA_ERR_NOENTITY;
            return error == PA_OK ? QStringLiteral("the sound server did not answer")
                                  : QStringLiteral("no sound server: %1")
                                        .arg(QString::fromUtf8(pa_strerror(error)));
        }
        pa_threaded_mainloop_lock(m_loop);
        m_stream = pa_stream_new(m_context, "Nimbrel", &m_spec, nullptr);
        bool connected = false;
        if (m_stream) {
            pa_stream_set_state_callback(m_stream, &PulseOut::onChange, this);
            pa_stream_set_write_callback(m_stream, &PulseOut::onWritable, this);
            const pa_buffer_attr attributes = bufferAttributes(kChimeBufferMs);
            connected = pa_stream_connect_playback(
                            m_stream, nullptr, &attributes,
                            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                           PA_STREAM_AUTO_TIMING_UPDATE),
                            nullptr, nullptr) >= 0;
        }
        pa_threaded_mainloop_unlock(m_loop);
        if (!connected || !await(kConnectLimit, [&] { return streamReady(); }))
            return QStringLiteral("cannot open a stream on the sound server");
        m_bufferMs = askedBufferMs() > 0 ? askedBufferMs() : kChimeBufferMs;
        return {};
    }

    bool write(const short* samples, size_t count) override {
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        size_t left = count * sizeof(short);
        while (left > 0) {
            size_t room = 0;
            const bool ready = await(kStallLimit, [&] {
                if (const Ready state = streamReady(); state != Ready::Yes)
                    return state;
                room = pa_stream_writable_size(m_stream);
                if (room == static_cast<size_t>(-1))
                    return Ready::Failed;
                room = std::max(room, std::min(m_beforeGrowing, left));
                if (room == 0)
                    return Ready::Pending;
                room = std::min(room, left);
                if (pa_stream_write(m_stream, bytes, room, nullptr, 0, PA_SEEK_RELATIVE) != 0)
                    return Ready::Failed;
                if (m_beforeGrowing > 0) {
                    m_beforeGrowing -= std::min(m_beforeGrowing, room);
                    if (m_beforeGrowing == 0)
                        setBuffer(kSpeechBufferMs);
                }
                return Ready::Yes;
            });
            if (!ready)
                return false;
            bytes += room;
            left -= room;
        }
        return true;
    }

    bool drain() override {
        std::atomic<int> done{0}; // 1 drained, -1 failed
        pa_threaded_mainloop_lock(m_loop);
        pa_operation* operation = pa_stream_drain(
            m_stream,
            [](pa_stream*, int success, void* self) {
                auto* out = static_cast<PulseOut*>(self);
                out->m_drained = success ? 1 : -1;
                out->notify();
            },
            this);
        m_drained = 0;
        pa_threaded_mainloop_unlock(m_loop);
        if (!operation)
            return false;
        const bool drained = await(milliseconds(bufferMs()) + kStallLimit, [&] {
            if (m_drained != 0)
                return m_drained > 0 ? Ready::Yes : Ready::Failed;
            return streamReady() == Ready::Failed ? Ready::Failed : Ready::Pending;
        });
        pa_threaded_mainloop_lock(m_loop);
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
        pa_threaded_mainloop_unlock(m_loop);
        return drained;
    }

    void flush() override {
        pa_threaded_mainloop_lock(m_loop);
        if (pa_operation* operation = pa_stream_flush(m_stream, nullptr, nullptr))
            pa_operation_unref(operation);
        pa_threaded_mainloop_unlock(m_loop);
    }

    int bufferMs() const override { return m_bufferMs + 100; }

    // The speech's buffer is filled at once, beyond what the chime's buffer asks for, and then
    // grown to it.
    void speechBegins() override {
        if (askedBufferMs() > 0)
            return;
        m_beforeGrowing =
            pa_usec_to_bytes(static_cast<pa_usec_t>(kSpeechBufferMs) * PA_USEC_PER_MSEC, &m_spec);
        m_bufferMs = kSpeechBufferMs;
    }

    void abort() override {
        m_aborted = true;
        notify();
    }

private:
    enum class Ready { Yes, Pending, Failed };

    // Call with the loop locked.
    void setBuffer(int ms) {
        const pa_buffer_attr attributes = bufferAttributes(ms);
        if (pa_operation* operation =
                pa_stream_set_buffer_attr(m_stream, &attributes, nullptr, nullptr))
            pa_operation_unref(operation);
    }

    pa_buffer_attr bufferAttributes(int ms) const {
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(ms) * PA_USEC_PER_MSEC, &m_spec));
        attributes.prebuf = static_cast<uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(kPrebufferMs) * PA_USEC_PER_MSEC, &m_spec));
        attributes.minreq = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(-1);
        return attributes;
    }

    // Call with the loop locked.
    Ready contextReady() const {
        switch (pa_context_get_state(m_context)) {
        case PA_CONTEXT_READY:
            return Ready::Yes;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            return Ready::Failed;
        default:
            return Ready::Pending;
        }
    }
    Ready streamReady() const {
        if (contextReady() == Ready::Failed)
            return Ready::Failed;
        switch (pa_stream_get_state(m_stream)) {
        case PA_STREAM_READY:
            return Ready::Yes;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            return Ready::Failed;
        default:
            return Ready::Pending;
        }
    }

    // Runs check with the loop locked until it is no longer pending, waiting for the server in
    // between; false when it failed, the limit passed with no answer, or abort() was called.
    template <typename Check> bool await(milliseconds limit, Check check) {
        const Clock::time_point deadline = Clock::now() + limit;
        for (;;) {
            std::uint64_t seen = 0;
            {
                std::lock_guard lock(m_mutex);
                seen = m_events;
            }
            if (m_aborted)
                return false;
            pa_threaded_mainloop_lock(m_loop);
            const Ready ready = check();
            pa_threaded_mainloop_unlock(m_loop);
            if (ready != Ready::Pending)
                return ready == Ready::Yes;
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_until(lock, deadline,
                                      [&] { return m_events != seen || m_aborted.load(); }))
                return false;
        }
    }

    void notify() {
        {
            std::lock_guard lock(m_mutex);
            ++m_events;
        }
        m_changed.notify_all();
    }

    static void onChange(pa_context*, void* self) { static_cast<PulseOut*>(self)->notify(); }
    static void onChange(pa_stream*, void* self) { static_cast<PulseOut*>(self)->notify(); }
    static void onWritable(pa_stream*, size_t, void* self) {
        static_cast<PulseOut*>(self)->notify();
    }

    const pa_sample_spec m_spec;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    std::atomic<int> m_bufferMs{kChimeBufferMs};
    size_t m_beforeGrowing = 0; // speech still to queue before the buffer grows; writer only
    std::atomic<int> m_drained{0};
    std::atomic<bool> m_aborted{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint64_t m_events = 0;
};

} // namespace

Result<std::unique_ptr<AudioOut>> OpenPulseStream(int sampleRate, int channels, bool* noServer) {
    *noServer = false;
    auto out = std::make_unique<PulseOut>(sampleRate, channels);
    const QString why = out->open(noServer);
    if (!why.isEmpty())
        return Failure{why};
    return std::unique_ptr<AudioOut>(std::move(out));
}
