#pragma once

namespace platform::graphics {

// Straight (not premultiplied) colour components, 0 to 1.
struct Color {
    float red = 0.0f, green = 0.0f, blue = 0.0f, alpha = 0.0f;
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    constexpr Color withAlpha(float a) const { return {red, green, blue, a}; }
    friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace platform::graphics
