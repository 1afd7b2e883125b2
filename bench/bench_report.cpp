#include "report/ReportText.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// A realistic feed document of about 4 KB; the forecast values stand near its end.
const QString& feedDocument() {
    static const QString document = [] {
        QFile file(QStringLiteral(NIMBREL_FEED_SAMPLE));
        if (!file.open(QIODevice::ReadOnly))
            std::abort();
        return QString::fromUtf8(file.readAll());
    }();
    return document;
}

const ReportTime morning{QTime(7, 30)};

void extractValues(benchmark::State& state) {
    const QString& document = feedDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExtractFeedValues(document));
    state.SetBytesProcessed(state.iterations() * document.size() *
                            static_cast<qsizetype>(sizeof(QChar)));
}

void composeReport(benchmark::State& state) {
    const FeedValues values = ExtractFeedValues(feedDocument());
    const QString greeting = QStringLiteral("Good morning");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ComposeReport(values, QStringLiteral("f"), SectionSwitches{}, greeting, morning));
}

// What one announcement costs: the twelve values and the text, all sections on.
void wholeReport(benchmark::State& state) {
    const QString& document = feedDocument();
    const QString greeting = QStringLiteral("Good morning");
    for (auto _ : state) {
        const FeedValues values = ExtractFeedValues(document);
        benchmark::DoNotOptimize(
            ComposeReport(values, QStringLiteral("f"), SectionSwitches{}, greeting, morning)
                .displayed());
    }
}

} // namespace

BENCHMARK(extractValues);
BENCHMARK(composeReport);
BENCHMARK(wholeReport);

BENCHMARK_MAIN();
