#pragma once

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace brisvane {

// The outcome of a call that can fail: a value or an error, never both. Errors are small enums or
// structs; nothing here throws across a module boundary. Both sides convert implicitly, so a
// function returns either `value` or `error` directly.
template <typename T, typename E>
class Result {
    static_assert(!std::is_same_v<T, E>, "Result needs distinct value and error types");

public:
    Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : storage_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return storage_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only on success.
    const T& value() const& { return std::get<0>(storage_); }
    T&& value() && { return std::get<0>(std::move(storage_)); }
    const T* operator->() const { return &std::get<0>(storage_); }
    const T& operator*() const& { return std::get<0>(storage_); }
    // Only on failure.
    const E& error() const { return std::get<1>(storage_); }

    friend bool operator==(const Result&, const Result&) = default;

private:
    std::variant<T, E> storage_;
};

// A call that yields nothing but can fail: success by default, failure from an error.
template <typename E>
class Result<void, E> {
public:
    Result() = default;
    Result(E error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only on failure.
    const E& error() const { return *error_; }

    friend bool operator==(const Result&, const Result&) = default;

private:
    std::optional<E> error_;
};

} // namespace brisvane
