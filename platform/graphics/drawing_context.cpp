#include "platform/graphics/drawing_context.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace platform::graphics {

using foundation::Point;
using foundation::Rect;

namespace {

constexpr const char* kFontFamily = "DejaVu Sans";

void setColor(cairo_t* cr, Color c) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

void addRect(cairo_t* cr, Rect r) {
    cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
}

// Maps an upright pixel (X, Y) to the stored pixel it shows, for a stored picture w × h.
cairo_matrix_t uprightToStored(ImageOrientation orientation, double w, double h) {
    cairo_matrix_t m;
    switch (orientation) {
        case ImageOrientation::Down:
            cairo_matrix_init(&m, -1, 0, 0, -1, w, h);
            break;
        case ImageOrientation::Left:
            cairo_matrix_init(&m, 0, 1, -1, 0, w, 0);
            break;
        case ImageOrientation::Right:
            cairo_matrix_init(&m, 0, -1, 1, 0, 0, h);
            break;
        case ImageOrientation::UpMirrored:
            cairo_matrix_init(&m, -1, 0, 0, 1, w, 0);
            break;
        case ImageOrientation::DownMirrored:
            cairo_matrix_init(&m, 1, 0, 0, -1, 0, h);
            break;
        case ImageOrientation::LeftMirrored:
            cairo_matrix_init(&m, 0, 1, 1, 0, 0, 0);
            break;
        case ImageOrientation::RightMirrored:
            cairo_matrix_init(&m, 0, -1, -1, 0, w, h);
            break;
        default:
            cairo_matrix_init_identity(&m);
            break;
    }
    return m;
}

// A cairo pattern over a picture's pixels (shared, not copied), mapping `rect` in user
// space onto the whole picture seen upright.
class ImagePattern {
  public:
    ImagePattern(const Image& image, Rect rect) {
        const PixelBuffer& pixels = image.pixels();
        surface_ = cairo_image_surface_create_for_data(
            const_cast<unsigned char*>(pixels.data()),
            pixels.format() == PixelBuffer::Format::Rgb24 ? CAIRO_FORMAT_RGB24
                                                          : CAIRO_FORMAT_ARGB32,
            pixels.width(), pixels.height(), pixels.stride());
        pattern_ = cairo_pattern_create_for_surface(surface_);
        cairo_pattern_set_filter(pattern_, CAIRO_FILTER_GOOD);
        // Enlarged edges blend with the picture's own border, not with transparency.
        cairo_pattern_set_extend(pattern_, CAIRO_EXTEND_PAD);

        const bool sideways = isSideways(image.imageOrientation());
        const double uprightWidth = sideways ? pixels.height() : pixels.width();
        const double uprightHeight = sideways ? pixels.width() : pixels.height();
        cairo_matrix_t toRect, toUpright, toStored, m;
        cairo_matrix_init_translate(&toRect, -rect.x(), -rect.y());
        cairo_matrix_init_scale(&toUpright, uprightWidth / rect.width(),
                                uprightHeight / rect.height());
        toStored = uprightToStored(image.imageOrientation(), pixels.width(), pixels.height());
        cairo_matrix_multiply(&m, &toRect, &toUpright);
        cairo_matrix_multiply(&m, &m, &toStored);
        cairo_pattern_set_matrix(pattern_, &m);
    }
    ~ImagePattern() {
        cairo_pattern_destroy(pattern_);
        cairo_surface_destroy(surface_);
    }
    ImagePattern(const ImagePattern&) = delete;
    ImagePattern& operator=(const ImagePattern&) = delete;

    cairo_pattern_t* get() const { return pattern_; }

    static bool drawable(const Image& image, Rect rect) {
        return image.pixels().width() > 0 && image.pixels().height() > 0 && rect.width() > 0 &&
               rect.height() > 0;
    }

  private:
    cairo_surface_t* surface_;
    cairo_pattern_t* pattern_;
};

}  // namespace

DrawingContext::DrawingContext(Surface& surface)
    : cr_(cairo_create(surface.handle())), scale_(surface.scale()) {
    cairo_scale(cr_, scale_, scale_);
}

DrawingContext::~DrawingContext() {
    cairo_destroy(cr_);
}

void DrawingContext::save() {
    cairo_save(cr_);
}

void DrawingContext::restore() {
    cairo_restore(cr_);
}

void DrawingContext::translate(float dx, float dy) {
    cairo_translate(cr_, dx, dy);
}

bool DrawingContext::scaleBy(float sx, float sy) {
    return concat({sx, 0, 0, sy, 0, 0});
}

void DrawingContext::rotate(float radians) {
    cairo_rotate(cr_, radians);
}

bool DrawingContext::concat(const foundation::AffineTransform& t) {
    cairo_matrix_t m, inverse;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    inverse = m;
    // A singular transform would put cairo in an error state for good.
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return false;
    cairo_transform(cr_, &m);
    return true;
}

void DrawingContext::clip(Rect rect) {
    addRect(cr_, rect);
    cairo_clip(cr_);
}

Placement DrawingContext::placement() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    cairo_user_to_device(cr_, &x1, &y1);
    cairo_user_to_device(cr_, &x2, &y2);
    const auto f = [](double v) { return static_cast<float>(v); };
    return {
        {f(m.xx), f(m.yx), f(m.xy), f(m.yy), f(m.x0), f(m.y0)},
        Rect(f(std::min(x1, x2)), f(std::min(y1, y2)), f(std::abs(x2 - x1)), f(std::abs(y2 - y1)))};
}

void DrawingContext::setPlacement(const Placement& p) {
    cairo_identity_matrix(cr_);
    clip(p.deviceClip);
    const auto& t = p.transform;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_set_matrix(cr_, &m);
}

void DrawingContext::clear() {
    cairo_save(cr_);
    cairo_reset_clip(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void DrawingContext::clearRect(Rect rect) {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    addRect(cr_, rect);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void DrawingContext::fillRect(Rect rect, Color color) {
    setColor(cr_, color);
    addRect(cr_, rect);
    cairo_fill(cr_);
}

void DrawingContext::fillRoundedRect(Rect r, float radius, Color color) {
    const double rad = std::min<double>(radius, std::min(r.width(), r.height()) * 0.5);
    const double pi = std::numbers::pi;
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, r.maxX() - rad, r.y() + rad, rad, -pi / 2, 0);
    cairo_arc(cr_, r.maxX() - rad, r.maxY() - rad, rad, 0, pi / 2);
    cairo_arc(cr_, r.x() + rad, r.maxY() - rad, rad, pi / 2, pi);
    cairo_arc(cr_, r.x() + rad, r.y() + rad, rad, pi, 3 * pi / 2);
    cairo_close_path(cr_);
    setColor(cr_, color);
    cairo_fill(cr_);
}

void DrawingContext::fillGradient(Rect rect, Color top, Color bottom) {
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, rect.y(), 0, rect.maxY());
    cairo_pattern_add_color_stop_rgba(gradient, 0, top.red, top.green, top.blue, top.alpha);
    cairo_pattern_add_color_stop_rgba(gradient, 1, bottom.red, bottom.green, bottom.blue,
                                      bottom.alpha);
    cairo_set_source(cr_, gradient);
    addRect(cr_, rect);
    cairo_fill(cr_);
    cairo_pattern_destroy(gradient);
}

void DrawingContext::strokeLine(Point from, Point to, float width, Color color) {
    cairo_move_to(cr_, from.x, from.y);
    cairo_line_to(cr_, to.x, to.y);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    setColor(cr_, color);
    cairo_stroke(cr_);
}

void DrawingContext::drawImage(const Image& image, Rect rect, float alpha) {
    if (!ImagePattern::drawable(image, rect) || alpha <= 0.0f) return;
    ImagePattern pattern(image, rect);
    cairo_save(cr_);
    cairo_set_source(cr_, pattern.get());
    clip(rect);
    if (alpha >= 1.0f) {
        cairo_paint(cr_);
    } else {
        cairo_paint_with_alpha(cr_, alpha);
    }
    cairo_restore(cr_);
}

void DrawingContext::drawTemplate(const Image& image, Rect rect, Color tint) {
    if (!ImagePattern::drawable(image, rect)) return;
    ImagePattern pattern(image, rect);
    cairo_save(cr_);
    clip(rect);
    setColor(cr_, tint);
    cairo_mask(cr_, pattern.get());
    cairo_restore(cr_);
}

void DrawingContext::setFont(const Font& font) {
    cairo_select_font_face(cr_, kFontFamily, CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, font.size);
}

float DrawingContext::textWidth(std::string_view text, const Font& font) {
    setFont(font);
    const std::string s(text);
    cairo_text_extents_t extents;
    cairo_text_extents(cr_, s.c_str(), &extents);
    return static_cast<float>(extents.x_advance);
}

void DrawingContext::drawText(std::string_view text, Rect rect, const Font& font, Color color,
                              TextAlign align) {
    if (text.empty() || font.size <= 0.0f) return;
    const float width = textWidth(text, font);  // also selects the font
    cairo_font_extents_t metrics;
    cairo_font_extents(cr_, &metrics);
    double x = rect.x();
    if (align == TextAlign::Center) x += (rect.width() - width) * 0.5;
    if (align == TextAlign::Right) x += rect.width() - width;
    const double y =
        rect.y() + (rect.height() - (metrics.ascent + metrics.descent)) * 0.5 + metrics.ascent;
    const std::string s(text);
    setColor(cr_, color);
    cairo_move_to(cr_, x, y);
    cairo_show_text(cr_, s.c_str());
    cairo_new_path(cr_);
}

void DrawingContext::paintSurface(const Surface& surface, Blend blend) {
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_source_surface(cr_, surface.handle(), 0, 0);
    cairo_set_operator(cr_, blend == Blend::Replace ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

}  // namespace platform::graphics
