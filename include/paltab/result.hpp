// The one way a fallible function of the library reports: a value, or an
// Error that says what kind of failure it is, where in the input, and why.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace paltab {

enum class ErrorKind {
    kBadInput,     // the bytes are not what they should be
    kTooLarge,     // the input exceeds a limit (pixels, file size)
    kBadSettings,  // the caller's settings cannot be met
    kOutput,       // the output could not be produced (an encoder failed)
    kIo,           // a file could not be read or written
};

// One failure. `where` is "line 7", "offset 12" or empty; `cause` is one line
// without the file's name. `file` is "cannot read 'x.gpl'" or "cannot write
// 'x.act'", set by the file wrappers alone and empty everywhere else.
struct Error {
    std::string where;
    std::string cause;
    ErrorKind kind = ErrorKind::kBadInput;
    std::string file = {};

    // "cannot read 'x.gpl': line 7: expected three numbers 0..255, found
    // \"12 300 4\"", leaving out the parts that are empty.
    std::string Message() const {
        std::string text = file;
        for (const std::string* part : {&where, &cause}) {
            if (!part->empty()) {
                text += text.empty() ? "" : ": ";
                text += *part;
            }
        }
        return text;
    }
};

// A T or an Error. C++20 has no std::expected; this is the part of it the
// library uses.
template <class T>
class Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    bool has_value() const { return ok(); }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    template <class U>
    T value_or(U&& fallback) const& {
        return ok() ? value() : static_cast<T>(std::forward<U>(fallback));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const& {
        assert(!ok());
        return std::get<1>(state_);
    }
    Error&& error() && {
        assert(!ok());
        return std::get<1>(std::move(state_));
    }

private:
    std::variant<T, Error> state_;
};

// Nothing, or an Error: what a fallible function that produces nothing
// returns.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }

    const Error& error() const& {
        assert(!ok());
        return *error_;
    }
    Error&& error() && {
        assert(!ok());
        return *std::move(error_);
    }

private:
    std::optional<Error> error_;
};

using Status = Result<void>;

}  // namespace paltab
