#pragma once

#include <QStringList>

// Every one of the 1440 rows in the order the list is built, written out here apart from the
// program's code: AM before PM, and within each the hours 1 to 12 and minutes 0 to 59.
inline QStringList AllRows() {
    QStringList rows;
    for (const char* period : {"AM", "PM"}) {
        for (int hour = 1; hour <= 12; ++hour) {
            for (int minute = 0; minute < 60; ++minute)
                rows.append(QString::asprintf("%02d:%02d %s", hour, minute, period));
        }
    }
    return rows;
}
