#pragma once

namespace platform::ui {

struct Color {
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace platform::ui
