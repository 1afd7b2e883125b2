#pragma once

// Real api.weather.gov answers from tests/feed/data/nws, moved in time.
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdint>
#include <functional>
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

// The answer with its JSON changed.
inline std::string NwsEdited(const std::string& answer,
                             const std::function<void(QJsonObject&)>& edit) {
    QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(answer)).object();
    edit(root);
    return QJsonDocument(root).toJson().toStdString();
}

// root.properties[name] = value, or root.properties[name].value when that is an object.
inline std::function<void(QJsonObject&)> NwsSet(const char* name, const QJsonValue& value) {
    return [=](QJsonObject& root) {
        QJsonObject p = root.value(QStringLiteral("properties")).toObject();
        QJsonValue v = p.value(QLatin1String(name));
        if (v.isObject()) {
            QJsonObject q = v.toObject();
            q[QStringLiteral("value")] = value;
            v = q;
        } else {
            v = value;
        }
        p[QLatin1String(name)] = v;
        root[QStringLiteral("properties")] = p;
    };
}
