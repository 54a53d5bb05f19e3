#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/image.h"

namespace platform::graphics {

// Why a codec call has no value: its input (damaged, unsupported, beyond the size limits), which
// is no better the next time, or memory, which another time or machine may have.
enum class FailureCause { Input, Memory };

// The outcome of a codec call: a value, or a message that says what was wrong.
template <class T>
class Result {
  public:
    static Result success(T value) { return Result(std::move(value), {}, FailureCause::Input); }
    static Result failure(std::string error, FailureCause cause = FailureCause::Input) {
        return Result(std::nullopt, std::move(error), cause);
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const std::string& error() const { return error_; }
    FailureCause cause() const { return cause_; }

  private:
    Result(std::optional<T> value, std::string error, FailureCause cause)
        : value_(std::move(value)), error_(std::move(error)), cause_(cause) {}

    std::optional<T> value_;
    std::string error_;
    FailureCause cause_;
};

using DecodeResult = Result<ImagePtr>;
using EncodeResult = Result<std::vector<std::uint8_t>>;

}  // namespace platform::graphics
