#pragma once

#include <QString>
#include <optional>
#include <utility>

// Why an operation failed, in words for the user.
struct Failure {
    QString why;
};

// The outcome of an operation that can fail: a value (none for Result<>), or the reason it failed.
// Every fallible operation outside the report run returns one; the report run itself throws
// NimbrelError, since its handler chooses the message by the error's code.
template <typename T = void> class [[nodiscard]] Result final {
public:
    Result(T value)
        : m_value(std::move(value)) {}
    Result(Failure failure)
        : m_error(std::move(failure.why)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const QString& error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};

template <> class [[nodiscard]] Result<void> final {
public:
    Result() = default;
    Result(Failure failure)
        : m_ok(false)
        , m_error(std::move(failure.why)) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const QString& error() const { return m_error; }

private:
    bool m_ok = true;
    QString m_error;
};
