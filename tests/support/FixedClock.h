#pragma once

#include "core/Clock.h"

// A clock that reads whatever time the test set.
class FixedClock final : public Clock {
public:
    explicit FixedClock(QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(7, 30)))
        : m_now(now) {}
    QDateTime currentDateTime() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void set(QTime time) { m_now.setTime(time); }

private:
    QDateTime m_now;
};
