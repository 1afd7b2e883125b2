#include "report/Announce.h"

#include "core/Error.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <memory>

void Announce(SpeechEngine* engine, const std::function<void()>& playChime,
              const ReportSections& sections) {
    playChime();
    if (!engine)
        throw NimbrelError(ErrorCode::SpeechNoEngine, QStringLiteral("no speech engine"));
    using Flags = SpeechEngine::SpeakFlags;
    engine->Speak(sections.opening, Flags::SVSFlagsAsync | Flags::SVSFPurgeBeforeSpeak);
    engine->Speak(sections.forecast, Flags::SVSFlagsAsync);
    engine->Speak(sections.atmosphere, Flags::SVSFlagsAsync);
    engine->Speak(sections.sun, Flags::SVSFlagsAsync);
}

namespace {

constexpr int kStandInMs = 600;
constexpr int kLongestChimeMs = 10000;
// How much longer than the chime the window waits for a sound server that does not answer.
constexpr int kChimeGraceMs = 2000;

} // namespace

int ChimeLengthMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kStandInMs;
    const QByteArray head = file.read(4096);
    if (!head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return kLongestChimeMs;
    quint32 bytesPerSecond = 0;
    for (qsizetype at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        if (id == "fmt " && at + 20 <= head.size())
            bytesPerSecond = qFromLittleEndian<quint32>(head.constData() + at + 16);
        if (id == "data" && bytesPerSecond > 0)
            return static_cast<int>(
                std::min<quint64>(quint64{size} * 1000 / bytesPerSecond, kLongestChimeMs));
        at += 8 + static_cast<qsizetype>(size) + (size & 1);
    }
    return kLongestChimeMs;
}

void PlayChimeAndWait(SpeechEngine& engine, const QString& path) {
    auto heard = std::make_shared<std::atomic<bool>>(false);
    const int limitMs = ChimeLengthMs(path) + kChimeGraceMs;
    QElapsedTimer waited;
    waited.start();
    engine.Chime(path, [heard] { *heard = true; });
    if (*heard)
        return;
    // Polled: the engine calls from its own thread, which may outlive this wait when the
    // program quits in the middle of it.
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (*heard || waited.elapsed() >= limitMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
