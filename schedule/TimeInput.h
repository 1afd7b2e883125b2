#pragma once

#include "schedule/TimeKey.h"

#include <QString>
#include <optional>

// The time typed or picked in the hour, minute and period boxes, once checked.
struct TimeInput {
    std::optional<ScheduleTime> time; // set when the texts make a valid time
    QString error;                    // otherwise, what is wrong, in words for the user
};

// Accepts hour 1 to 12 and minute 0 to 59 as one or two digits, and the period AM or PM in any
// case; returns them in the form the files are named with ("7", "5", "pm" -> "07", "05", "PM").
// Anything else, blanks included, is refused, so a box text can never lead outside the data folder
// or to an entry that is never listed.
TimeInput ParseTimeInput(const QString& hour, const QString& minute, const QString& period);
