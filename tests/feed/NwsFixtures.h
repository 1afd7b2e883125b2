#pragma once

// Real api.weather.gov answers from tests/feed/data/nws, moved in time.
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <cstdint>
#include <string>

inline std::string NwsFixture(const char* name) {
    QFile file(qEnvironmentVariable("NIMBREL_SOURCE_DIR") +
               QStringLiteral("/tests/feed/data/nws/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// Every time in the answer ("2022-03-02T23:53:00+00:00") moved by `seconds`, each keeping its
// offset from UTC.
inline std::string NwsShifted(const std::string& answer, std::int64_t seconds) {
    static const QRegularExpression time(
        QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)"));
    QString text = QString::fromStdString(answer);
    QString out;
    qsizetype done = 0;
    for (auto it = time.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QDateTime t = QDateTime::fromString(m.captured(), Qt::ISODate);
        out += text.mid(done, m.capturedStart() - done);
        out += t.addSecs(seconds).toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
        done = m.capturedEnd();
    }
    out += text.mid(done);
    return out.toStdString();
}

// Seconds since the epoch of an ISO 8601 time.
inline std::int64_t NwsTime(const char* iso) {
    return QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toSecsSinceEpoch();
}

// The first `from` in the answer made `to`.
inline void NwsReplace(std::string& answer, const std::string& from, const std::string& to) {
    if (const std::size_t at = answer.find(from); at != std::string::npos)
        answer.replace(at, from.size(), to);
}
