#pragma once

#include <optional>
#include <string>
#include <utility>

namespace sonarch {

// The outcome of an operation that can fail: a value, or a message in plain words.
template <class T>
class Result {
public:
    static Result success(T value) { return Result(std::move(value), {}); }
    static Result failure(std::string message) { return Result(std::nullopt, std::move(message)); }

    bool ok() const { return m_value.has_value(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const std::string& error() const { return m_error; }

private:
    Result(std::optional<T> value, std::string error)
        : m_value(std::move(value)), m_error(std::move(error)) {}

    std::optional<T> m_value;
    std::string m_error;
};

}  // namespace sonarch
