#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/view.h"

namespace platform::ui {

// What a walk over the view tree does at one view.
enum class ViewVisit {
    Draw,            // the view, then its subviews
    SkipOwnDrawing,  // only its subviews
    Stop,            // nothing more at all
};
// Called at each shown view with the context placed at that view's bounds.
using ViewVisitor = std::function<ViewVisit(View& view, graphics::DrawingContext& context)>;

// Draws `root` (at the origin) and its subviews, each above its elder siblings, at their
// frames as presented at `now`. Hidden views and their subviews are left out; a view that
// clips to its bounds clips its subviews. False when the visitor stopped the walk.
bool drawViewTree(View& root, graphics::DrawingContext& context, double now,
                  const ViewVisitor& visitor = {});

// What one view shows of itself, without its subviews: its background colour, then its
// own drawing, in a context placed at its bounds.
void drawOwnContent(View& view, graphics::DrawingContext& context, double now);

// True if any shown view of the tree is moving or turning at `now`, so that what is drawn
// changes with time alone.
bool treeIsAnimating(const View& root, double now);

// What changes with time alone when all that moves are turning spinners: the smallest
// window rectangle (in points) holding them, and a number that changes whenever one of them
// moves on a spoke. None when nothing moves, or when a view moves across the screen.
struct TurningSpinners {
    foundation::Rect region;
    std::uint64_t step = 0;
    friend bool operator==(const TurningSpinners&, const TurningSpinners&) = default;
};
std::optional<TurningSpinners> turningSpinners(const View& root, double now);

}  // namespace platform::ui
