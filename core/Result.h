#pragma once

#include <QString>
#include <optional>
#include <utility>

// Why an operation failed, in words for the user, with the error code that picks the message the
// report routine shows for it (ErrorCode; 0 where none applies).
struct Failure {
    QString why;
    int code = 0;
};

// The outcome of an operation that can fail: a value (none for Result<>), or the reason it failed.
// Every fallible operation returns one, from the feed's fetch to the window; only the report
// routine's own error trap turns one into a NimbrelError, since that trap chooses its message by
// the code.
template <typename T = void> class [[nodiscard]] Result final {
public:
    Result(T value)
        : m_value(std::move(value)) {}
    Result(Failure failure)
        : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const QString& error() const { return m_failure.why; }
    int code() const { return m_failure.code; }

private:
    std::optional<T> m_value;
    Failure m_failure;
};

template <> class [[nodiscard]] Result<void> final {
public:
    Result() = default;
    Result(Failure failure)
        : m_ok(false)
        , m_failure(std::move(failure)) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const QString& error() const { return m_failure.why; }
    int code() const { return m_failure.code; }

private:
    bool m_ok = true;
    Failure m_failure;
};
