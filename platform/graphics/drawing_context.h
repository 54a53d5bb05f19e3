#pragma once

#include <string_view>

#include "platform/foundation/geometry.h"
#include "platform/graphics/color.h"
#include "platform/graphics/image.h"
#include "platform/graphics/surface.h"

typedef struct _cairo cairo_t;

namespace platform::graphics {

enum class TextAlign { Left, Center, Right };

// DejaVu Sans at a size in points.
struct Font {
    float size = 17.0f;
    bool bold = false;
};

// Where drawing lands on the surface: the transform from points to surface pixels and the
// clip in surface pixels. Views only move and scale, so the clip stays a rectangle.
struct Placement {
    foundation::AffineTransform transform;
    foundation::Rect deviceClip;
};

// Draws on a surface in points (origin top-left); the surface's scale is applied once here.
// A thin layer over cairo: pictures, template pictures, text, fills, clips and transforms.
class DrawingContext {
  public:
    explicit DrawingContext(Surface& surface);
    ~DrawingContext();
    DrawingContext(const DrawingContext&) = delete;
    DrawingContext& operator=(const DrawingContext&) = delete;

    float scale() const { return scale_; }

    void save();
    void restore();
    void translate(float dx, float dy);
    void rotate(float radians);
    // Apply to everything drawn after (x' = a·x + c·y + tx, ...). A singular transform
    // changes nothing and gives false: what it would squash flat is not to be drawn.
    bool scaleBy(float sx, float sy);
    bool concat(const foundation::AffineTransform& transform);
    void clip(foundation::Rect rect);

    Placement placement() const;
    // Puts the drawing where `placement` was taken; the clip is intersected with the current one.
    void setPlacement(const Placement& placement);

    // Makes the whole surface transparent (black where it is opaque).
    void clear();
    // The same within a rectangle (and the clip).
    void clearRect(foundation::Rect rect);
    void fillRect(foundation::Rect rect, Color color);
    void fillRoundedRect(foundation::Rect rect, float radius, Color color);
    // A top-to-bottom gradient over the rectangle.
    void fillGradient(foundation::Rect rect, Color top, Color bottom);
    void strokeLine(foundation::Point from, foundation::Point to, float width, Color color);

    // Draws the picture upright (by its orientation tag) stretched to `rect`.
    void drawImage(const Image& image, foundation::Rect rect, float alpha = 1.0f);
    // Fills `rect` with `tint` wherever the picture is opaque: the picture as a template.
    void drawTemplate(const Image& image, foundation::Rect rect, Color tint);
    // One line of text, vertically centred in `rect`.
    void drawText(std::string_view text, foundation::Rect rect, const Font& font, Color color,
                  TextAlign align);
    float textWidth(std::string_view text, const Font& font);

    // Puts another surface of the same size over the whole of this one: replacing what is
    // there, or blended over it.
    enum class Blend { Replace, Over };
    void paintSurface(const Surface& surface, Blend blend);

  private:
    void setFont(const Font& font);

    cairo_t* cr_;
    float scale_;
};

}  // namespace platform::graphics
