#include "schedule/ScheduleClock.h"
#include "schedule/ScheduleEntries.h"
#include "schedule/TimeKey.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void makeEntries(const QString& dir) {
    for (int order = 0; order < 1440; ++order) {
        QFile file(dir + QLatin1Char('/') + EntryFileName(TimeKey(RowAt(order))));
        if (!file.open(QIODevice::WriteOnly) || file.write("1\r\n") != 3)
            qFatal("cannot create an entry file");
    }
}

void BM_RefreshTimeList_Empty(benchmark::State& state) {
    QTemporaryDir dir;
    for (auto _ : state)
        benchmark::DoNotOptimize(RefreshEntries(dir.path()));
}
BENCHMARK(BM_RefreshTimeList_Empty)->Unit(benchmark::kMillisecond);

void BM_RefreshTimeList_1440(benchmark::State& state) {
    QTemporaryDir dir;
    makeEntries(dir.path());
    for (auto _ : state)
        benchmark::DoNotOptimize(RefreshEntries(dir.path()));
}
BENCHMARK(BM_RefreshTimeList_1440)->Unit(benchmark::kMillisecond);

// One tick per minute of the day in turn, each announcing its row, writing its marker and
// deleting the one of the minute before.
void BM_MinuteTick_1440Rows(benchmark::State& state) {
    QTemporaryDir dir;
    makeEntries(dir.path());
    const QStringList rows = RefreshEntries(dir.path());
    ScheduleClockState clock;
    QDateTime now(QDate(2026, 12, 7), QTime(0, 0, 30));
    int announced = 0;
    for (auto _ : state) {
        RunTick(dir.path(), now, rows, clock, [&] { ++announced; });
        now = now.addSecs(60);
    }
    if (announced != static_cast<int>(state.iterations()))
        state.SkipWithError("a tick did not announce its row");
}
BENCHMARK(BM_MinuteTick_1440Rows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
