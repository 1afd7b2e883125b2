#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// How a stored line is turned into a value. Plain text rules, no files involved.
namespace Settings {

// The longest first line that is read; anything past it is ignored like the rest of the file.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;

// The text before the first line end (CR or LF), decoded as UTF-8.
QString FirstLine(const QByteArray& content);
// The first comma-separated field of a line: leading spaces skipped; a field opening with a
// double quote runs to the next double quote (quotes dropped), any other to the first comma.
QString FirstField(const QString& line);
// A stored voice position: decimal digits only (after trimming); anything else is no position.
std::optional<int> ParsePosition(const QString& text);

} // namespace Settings
