#include "platform/media/live_picture_view.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "imaging/fill_rect.h"
#include "imaging/orient_pixels.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/drawing_context.h"

namespace platform::media {

namespace {
constexpr graphics::Color kNoPicture{0.11f, 0.11f, 0.12f, 1.0f};
constexpr graphics::Color kStatusColor{0.78f, 0.78f, 0.8f, 1.0f};
constexpr graphics::Font kStatusFont{15.0f, false};
// Clear of the sidebar's handle at the left edge of the screen, and as much on the right.
constexpr float kStatusMargin = 40.0f;
constexpr float kStatusLineHeight = 20.0f;
// The caption sits above the tab bar, below the zoom slider.
constexpr float kCaptionBottom = 80.0f;
constexpr double kFlashSeconds = 0.25;

bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// The longest start of `text` (whole UTF-8 characters, at least one) that fits `width`.
std::size_t fittingPrefix(graphics::DrawingContext& context, std::string_view text, float width) {
    std::size_t fits = 0;
    for (std::size_t end = 1; end <= text.size(); ++end) {
        if (end < text.size() && !startsCharacter(text[end])) continue;
        if (fits > 0 && context.textWidth(text.substr(0, end), kStatusFont) > width) break;
        fits = end;
    }
    return fits;
}

// Greedy wrapping: each paragraph breaks at its last space that fits, or inside a word
// longer than a whole line (a device path).
std::vector<std::string> wrapped(graphics::DrawingContext& context, std::string_view text,
                                 float width) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t newline = std::min(text.find('\n', start), text.size());
        std::string_view rest = text.substr(start, newline - start);
        start = newline + 1;
        do {
            std::size_t cut = fittingPrefix(context, rest, width);
            if (cut < rest.size()) {
                const std::size_t space = rest.substr(0, cut + 1).rfind(' ');
                if (space != std::string_view::npos && space > 0) cut = space;
            }
            lines.emplace_back(rest.substr(0, cut));
            rest.remove_prefix(cut);
            while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        } while (!rest.empty());
    }
    return lines;
}
}  // namespace

LivePictureView::LivePictureView(foundation::Rect frame) : View(frame) {}

void LivePictureView::setCameraFrame(graphics::ImagePtr frame) {
    if (frame == cameraFrame_) return;
    if (frame && !shownAFrame_) {
        shownAFrame_ = true;
        foundation::logDebug("live picture: first camera frame");  // bench/startup waits for it
    }
    cameraFrame_ = std::move(frame);
    uprightFrame_.reset();
    ++videoGeneration_;
}

void LivePictureView::setPreviewTransform(foundation::AffineTransform transform) {
    if (transform == previewTransform_) return;
    previewTransform_ = transform;
    ++videoGeneration_;
}

void LivePictureView::setStatusText(std::string text) {
    if (text == statusText_) return;
    statusText_ = std::move(text);
    ++videoGeneration_;
}

void LivePictureView::setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    ++videoGeneration_;
}

void LivePictureView::flash(double now) {
    flashStart_ = now;
    ++videoGeneration_;
}

bool LivePictureView::changesWithTime(double now) const {
    return flashStart_ && now < *flashStart_ + kFlashSeconds;
}

void LivePictureView::draw(graphics::DrawingContext& context) const {
    context.save();
    context.clip(bounds());
    if (cameraFrame_) {
        drawFrame(context);
    } else {
        drawStatus(context);
    }
    context.restore();
    if (cameraFrame_ && !caption_.empty()) drawCaption(context);
    const double now = foundation::RunLoop::main().now();
    if (changesWithTime(now)) {
        const double left = 1.0 - (now - *flashStart_) / kFlashSeconds;
        context.fillRect(bounds(), graphics::Color::white().withAlpha(
                                       static_cast<float>(std::clamp(left, 0.0, 1.0) * 0.85)));
    }
}

// Small and pale, low on the left above the tab bar: there, but not in the way.
void LivePictureView::drawCaption(graphics::DrawingContext& context) const {
    const graphics::Font font{11.0f, true};
    const float width = context.textWidth(caption_, font) + 12;
    const foundation::Rect plate{8, bounds().maxY() - kCaptionBottom, width, 18};
    context.fillRoundedRect(plate, 9, {0, 0, 0, 0.45f});
    context.drawText(caption_, plate, font, {1, 1, 1, 0.85f}, graphics::TextAlign::Center);
}

// A transform that only enlarges about the centre keeps the view covered; anything else
// may uncover parts of it, which then show black as a camera's picture would.
bool LivePictureView::frameCoversView() const {
    const auto& t = previewTransform_;
    return t.b == 0.0f && t.c == 0.0f && t.a >= 1.0f && t.d >= 1.0f && t.tx == 0.0f && t.ty == 0.0f;
}

void LivePictureView::drawFrame(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    if (!frameCoversView()) context.fillRect(b, graphics::Color::black());
    const foundation::Point c = b.center();
    context.translate(c.x, c.y);
    if (!context.concat(previewTransform_)) return;
    context.translate(-c.x, -c.y);
    context.drawImage(uprightFrame(), imaging::aspectFillRect(cameraFrame_->size(), b.size));
}

const graphics::Image& LivePictureView::uprightFrame() const {
    const auto orientation = cameraFrame_->imageOrientation();
    const int tag = static_cast<int>(orientation);
    if (tag <= 0 || tag > 7) return *cameraFrame_;  // Up, or no tag at all: drawn as stored
    if (!uprightFrame_) {
        const auto& stored = cameraFrame_->pixels();
        const bool sideways = graphics::isSideways(orientation);
        const int width = sideways ? stored.height() : stored.width();
        const int height = sideways ? stored.width() : stored.height();
        auto upright = std::make_shared<graphics::PixelBuffer>(
            width, height, stored.format(), graphics::PixelBuffer::Contents::Unspecified);
        imaging::orientPixels(imaging::viewOf(stored), orientation, {0, 0, width, height},
                              imaging::viewOf(*upright));
        uprightFrame_ = std::make_shared<graphics::Image>(
            std::move(upright), graphics::ImageOrientation::Up, cameraFrame_->scale());
    }
    return *uprightFrame_;
}

// Centred on the view, wrapped to its width: a cause can be long ("No picture from" a
// whole pipeline description, then why).
void LivePictureView::drawStatus(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    context.fillRect(b, kNoPicture);
    if (statusText_.empty()) return;
    const float width = b.width() - 2 * kStatusMargin;
    const auto lines = wrapped(context, statusText_, width);
    float top = b.center().y - kStatusLineHeight * static_cast<float>(lines.size()) / 2;
    for (const auto& line : lines) {
        context.drawText(line, {b.x() + kStatusMargin, top, width, kStatusLineHeight}, kStatusFont,
                         kStatusColor, graphics::TextAlign::Center);
        top += kStatusLineHeight;
    }
}

}  // namespace platform::media
