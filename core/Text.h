#pragma once

#include <QString>

// Removes the space character (and only it) from both ends: tabs and line breaks are kept, as the
// settings files and the report text want.
QString TrimSpaces(const QString& text);
