#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/image.h"

namespace platform::graphics {

// The outcome of a codec call: a value, or a message that says what was wrong.
template <class T>
class Result {
  public:
    static Result success(T value) { return Result(std::move(value), {}); }
    static Result failure(std::string error) { return Result(std::nullopt, std::move(error)); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const std::string& error() const { return error_; }

  private:
    Result(std::optional<T> value, std::string error)
        : value_(std::move(value)), error_(std::move(error)) {}

    std::optional<T> value_;
    std::string error_;
};

using DecodeResult = Result<ImagePtr>;
using EncodeResult = Result<std::vector<std::uint8_t>>;

}  // namespace platform::graphics
