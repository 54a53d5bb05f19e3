#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/drawing_context.h"
#include "platform/graphics/surface.h"
#include "platform/media/live_picture_view.h"
#include "platform/ui/drawing/view_tree_drawing.h"
#include "platform/ui/window.h"

namespace platform::display {

// Composes a window's view tree into one picture of the 320 × 480 point screen at a scale
// of 1 to 4 pixels per point, fractions included.
//
// The live camera picture changes up to 30 times a second; the controls over it rarely do.
// So the screen is kept in layers, split at the first shown LivePictureView in drawing
// order: the under layer (opaque: everything drawn before the live picture), the live
// picture itself, and the over layer (transparent: everything drawn after it, its
// subviews first). A new frame redraws only the live picture between the two cached
// layers. Any change of the views (View::displayGeneration()) draws the layers anew, and
// so does every composition while a view moves. While only spinners turn, just the
// rectangle holding them is drawn anew, and lastChange() tells the window what to present.
class ScreenCompositor {
  public:
    static constexpr foundation::Size kScreenSize{320.0f, 480.0f};

    ScreenCompositor(std::shared_ptr<ui::Window> window, float scale);

    float scale() const { return scale_; }
    const std::shared_ptr<ui::Window>& window() const { return window_; }

    // True if composing at `now` would change the picture.
    bool needsComposition(double now) const;
    // True while the picture changes with time alone.
    bool isAnimating(double now) const;
    // Brings the picture up to date with the views at `now`; false if nothing changed.
    bool compose(double now);

    // The picture as last composed.
    const graphics::Surface& screen() const { return screen_; }
    // The part of the screen (in points) that the last composition changed.
    foundation::Rect lastChange() const { return lastChange_; }
    // Writes the picture as last composed as PNG; a message saying why if it cannot.
    std::optional<std::string> writePng(const std::filesystem::path& path) const;

    // How often the layers were drawn anew, and how often only the live picture.
    struct Counts {
        std::uint64_t layerCompositions = 0;
        std::uint64_t videoCompositions = 0;
        std::uint64_t regionCompositions = 0;  // only where spinners turn
    };
    const Counts& counts() const { return counts_; }

  private:
    bool layersAreCurrent() const;
    // Draws the layers anew, within `region` only if given.
    void drawLayers(double now, const std::optional<foundation::Rect>& region);
    void drawUnderLayer(double now, const std::optional<foundation::Rect>& region);
    void drawOverLayer(double now, const std::optional<foundation::Rect>& region);
    void composeScreen(double now, const std::optional<foundation::Rect>& region);
    void drawVideo(graphics::DrawingContext& context, media::LivePictureView& video, double now);

    std::shared_ptr<ui::Window> window_;
    float scale_;
    graphics::Surface under_;
    graphics::Surface over_;
    graphics::Surface screen_;

    bool composed_ = false;
    bool composedWhileAnimating_ = false;
    std::uint64_t composedGeneration_ = 0;
    // True if only spinners have turned since the layers were drawn, in the same place.
    bool onlySpinnersTurned(double now) const;

    // The spinners as drawn, when the layers were drawn while only spinners turned.
    std::optional<ui::TurningSpinners> composedTurning_;
    foundation::Rect lastChange_;
    std::weak_ptr<media::LivePictureView> video_;
    graphics::Placement videoPlacement_;
    std::uint64_t composedVideoGeneration_ = 0;
    Counts counts_;
};

}  // namespace platform::display
