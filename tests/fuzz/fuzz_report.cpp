// Arbitrary documents and keys through the value extraction, and what it extracts through the
// report text. Input: flags, key length, hour, minute, the key, then the document.

#include "report/GetAttrValue.h"
#include "report/ReportText.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Flag bit 0 reads the key and document as raw UTF-16, so NULs and lone surrogates reach the
// search; otherwise as UTF-8, which is how feed documents arrive.
QString decode(const std::uint8_t* data, std::size_t size, bool rawUtf16) {
    if (!rawUtf16)
        return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);
    return text;
}

// The extraction rules spelled out with plain 1-based positions, to compare the fast search with.
QString expectedValue(const QString& document, const QString& key) {
    const qsizetype p = document.indexOf(key) + 1;
    const qsizetype start = p + key.size() + 1;
    if (start > document.size())
        return {};
    const QString rest = document.mid(start - 1);
    const qsizetype q = rest.indexOf(u'"') + 1;
    return q == 0 ? QString() : rest.left(q - 1);
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint8_t flags = data[0];
    const std::size_t keyBytes = std::min<std::size_t>(data[1], size - 4);
    const QTime time(data[2] % 24, data[3] % 60);
    const bool rawUtf16 = (flags & 1U) != 0;
    const QString key = decode(data + 4, keyBytes, rawUtf16);
    const QString document = decode(data + 4 + keyBytes, size - 4 - keyBytes, rawUtf16);

    const QString value = GetAttrValue(document, key);
    check(value == expectedValue(document, key));

    const FeedValues values = ExtractFeedValues(document);
    const SectionSwitches switches{(flags & 2U) != 0, (flags & 4U) != 0, (flags & 8U) != 0,
                                   (flags & 16U) != 0, (flags & 32U) != 0};
    const QString unit = (flags & 64U) != 0 ? QStringLiteral("c") : QStringLiteral("f");
    const ReportSections report =
        ComposeReport(values, unit, switches, key, ReportTime{time, value, key});
    check(report.opening.contains(QStringLiteral(" At ")));
    check(report.forecast.isEmpty() != switches.forecast);
    check(report.atmosphere.isEmpty() != switches.atmosphere);
    check(report.sun.isEmpty() != switches.sun);
    return 0;
}
