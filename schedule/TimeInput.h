#pragma once

#include "core/Result.h"
#include "schedule/TimeKey.h"

#include <QString>

// The time typed or picked in the hour, minute and period boxes, once checked. Accepts hour 1 to
// 12 and minute 0 to 59 as one or two digits, and the period AM or PM in any case; returns them in
// the form the files are named with ("7", "5", "pm" -> "07", "05", "PM"). Anything else, blanks
// included, is refused with what is wrong, so a box text can never lead outside the data folder or
// to an entry that is never listed.
Result<ScheduleTime> ParseTimeInput(const QString& hour, const QString& minute,
                                    const QString& period);
