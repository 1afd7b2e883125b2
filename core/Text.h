#pragma once

#include <QString>
#include <string_view>

// Removes the space character (and only it) from both ends: tabs and line breaks are kept, as the
// settings files and the report text want.
QString TrimSpaces(const QString& text);

// An ASCII text of the program's own, such as the feed's wire contract, as a QString.
inline QString AsciiText(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
