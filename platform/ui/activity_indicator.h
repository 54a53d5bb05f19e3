#pragma once

#include "platform/ui/view.h"

namespace platform::ui {

// A turning spinner while animating; hidden when stopped.
class ActivityIndicator : public View {
  public:
    enum class Style { WhiteLarge = 0, White = 1, Gray = 2 };
    explicit ActivityIndicator(foundation::Rect frame = {});

    Style activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(Style style);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    // When the spinner started turning, on the main loop's clock.
    double animationStart() const { return animationStart_; }
    // The spoke leading at `now`: it moves on one spoke at a time, twelve times a second, and
    // the spinner looks the same until it does.
    int leadSpoke(double now) const;
    // Where its spokes are drawn, in its own coordinates: the large style reaches beyond a
    // small frame.
    foundation::Rect drawnBounds() const;

    void draw(graphics::DrawingContext& context) const override;
    bool changesWithTime(double) const override { return animating_; }

  private:
    Style style_ = Style::WhiteLarge;
    bool animating_ = false;
    double animationStart_ = 0.0;
};

}  // namespace platform::ui
