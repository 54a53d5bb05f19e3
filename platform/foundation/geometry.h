#pragma once

namespace platform::foundation {

// Points, sizes and rectangles in display points, single precision, origin top-left.
struct Point {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    float width = 0.0f;
    float height = 0.0f;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(float x, float y, float width, float height)
        : origin{x, y}, size{width, height} {}

    float x() const { return origin.x; }
    float y() const { return origin.y; }
    float width() const { return size.width; }
    float height() const { return size.height; }
    float maxX() const { return origin.x + size.width; }
    float maxY() const { return origin.y + size.height; }
    Point center() const { return {origin.x + size.width * 0.5f, origin.y + size.height * 0.5f}; }
    bool contains(Point p) const {
        return p.x >= origin.x && p.x < maxX() && p.y >= origin.y && p.y < maxY();
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Six-float affine transform: x' = a·x + c·y + tx, y' = b·x + d·y + ty.
struct AffineTransform {
    float a = 1.0f, b = 0.0f, c = 0.0f, d = 1.0f, tx = 0.0f, ty = 0.0f;

    static constexpr AffineTransform identity() { return {}; }

    // The platform's scale rule: a, b by sx; c, d by sy; the translation is kept.
    AffineTransform scaled(float sx, float sy) const {
        return {a * sx, b * sx, c * sy, d * sy, tx, ty};
    }
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

}  // namespace platform::foundation
