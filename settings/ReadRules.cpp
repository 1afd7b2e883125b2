#include "settings/ReadRules.h"

#include "core/Text.h"

namespace Settings {

QString FirstLine(const QByteArray& content) {
    qsizetype end = 0;
    while (end < content.size() && content.at(end) != '\r' && content.at(end) != '\n')
        ++end;
    return QString::fromUtf8(content.first(end));
}

QString FirstField(const QString& line) {
    qsizetype start = 0;
    while (start < line.size() && line.at(start) == u' ')
        ++start;
    if (start < line.size() && line.at(start) == u'"') {
        ++start;
        const qsizetype close = line.indexOf(u'"', start);
        return line.sliced(start, (close < 0 ? line.size() : close) - start);
    }
    const qsizetype comma = line.indexOf(u',', start);
    return line.sliced(start, (comma < 0 ? line.size() : comma) - start);
}

std::optional<int> ParsePosition(const QString& text) {
    const QString digits = TrimSpaces(text);
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool fits = false;
    const int position = digits.toInt(&fits, 10);
    if (!fits)
        return std::nullopt;
    return position;
}

} // namespace Settings
