// Result<T>: either a value or the CallError that ends the call; how errors travel as values.
#pragma once

#include "binding/python.hpp"

#include <optional>
#include <utility>
#include <variant>

#include "binding/call_error.hpp"

namespace dallowgate {

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : content_(std::in_place_index<0>, std::move(value)) {}
    Result(CallError error) : content_(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const { return content_.index() == 0; }
    T& operator*() { return std::get<0>(content_); }
    T* operator->() { return &std::get<0>(content_); }
    CallError take_error() { return std::move(std::get<1>(content_)); }

private:
    std::variant<T, CallError> content_;
};

// The outcome of a step that produces nothing: empty on success.
using MaybeError = std::optional<CallError>;

}  // namespace dallowgate
