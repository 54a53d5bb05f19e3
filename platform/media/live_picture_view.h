#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/geometry.h"
#include "platform/graphics/image.h"
#include "platform/ui/view.h"

namespace platform::media {

// The camera's live picture: the newest frame, upright by its orientation tag, covering the
// view with its proportions kept, under the preview transform (about the view's centre).
// Without a frame it shows a dark picture and a status.
//
// The screen composes this view apart from the views above it, so a new frame, transform
// or status counts in videoGeneration() and leaves View::displayGeneration() alone: the
// overlay is not drawn anew for every frame.
class LivePictureView : public ui::View {
  public:
    explicit LivePictureView(foundation::Rect frame = {});

    const graphics::ImagePtr& cameraFrame() const { return cameraFrame_; }
    void setCameraFrame(graphics::ImagePtr frame);
    foundation::AffineTransform previewTransform() const { return previewTransform_; }
    void setPreviewTransform(foundation::AffineTransform transform);
    // Shown while there is no frame ("Starting camera…", or why there is no camera),
    // wrapped to the view's width; a newline starts a new line.
    const std::string& statusText() const { return statusText_; }
    void setStatusText(std::string text);

    // The picture flashes white and fades back within a quarter of a second, as a shutter
    // closing and opening again; from `now` on the main loop's clock.
    void flash(double now);
    bool changesWithTime(double now) const override;

    // A small word over the live picture saying what it is ("Test camera"); empty: none.
    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);

    // Grows with every change of what this view alone shows.
    std::uint64_t videoGeneration() const { return videoGeneration_; }

    void draw(graphics::DrawingContext& context) const override;

  private:
    void drawFrame(graphics::DrawingContext& context) const;
    void drawStatus(graphics::DrawingContext& context) const;
    void drawCaption(graphics::DrawingContext& context) const;
    bool frameCoversView() const;
    const graphics::Image& uprightFrame() const;

    graphics::ImagePtr cameraFrame_;
    // The frame turned upright, made when it is first drawn: drawing a sideways frame
    // turned and scaled at once costs cairo several times more than turning its pixels
    // once and then only scaling them.
    mutable graphics::ImagePtr uprightFrame_;
    foundation::AffineTransform previewTransform_;
    std::string statusText_ = "Starting camera…";
    std::string caption_;
    std::optional<double> flashStart_;
    std::uint64_t videoGeneration_ = 0;
    bool shownAFrame_ = false;
};

}  // namespace platform::media
