#include "platform/media/live_picture_view.h"

#include "imaging/fill_rect.h"
#include "imaging/orient_pixels.h"
#include "platform/graphics/drawing_context.h"

namespace platform::media {

namespace {
constexpr graphics::Color kNoPicture{0.11f, 0.11f, 0.12f, 1.0f};
constexpr graphics::Color kStatusColor{0.78f, 0.78f, 0.8f, 1.0f};
constexpr graphics::Font kStatusFont{15.0f, false};
}  // namespace

LivePictureView::LivePictureView(foundation::Rect frame) : View(frame) {}

void LivePictureView::setCameraFrame(graphics::ImagePtr frame) {
    if (frame == cameraFrame_) return;
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

void LivePictureView::draw(graphics::DrawingContext& context) const {
    context.save();
    context.clip(bounds());
    if (cameraFrame_) {
        drawFrame(context);
    } else {
        drawStatus(context);
    }
    context.restore();
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

void LivePictureView::drawStatus(graphics::DrawingContext& context) const {
    const foundation::Rect b = bounds();
    context.fillRect(b, kNoPicture);
    context.drawText(statusText_, {b.x() + 10, b.center().y - 12, b.width() - 20, 24}, kStatusFont,
                     kStatusColor, graphics::TextAlign::Center);
}

}  // namespace platform::media
