#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/run_loop.h"
#include "platform/ui/view.h"

namespace platform::ui {

class ScrollView;

class ScrollViewDelegate {
  public:
    virtual ~ScrollViewDelegate() = default;
    // The subview that zooming scales; none: the scroll view only pans.
    virtual std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) { return nullptr; }
    // After every change of the content offset, by a finger or by the program.
    virtual void scrollViewDidScroll(ScrollView&) {}
    virtual void scrollViewDidZoom(ScrollView&) {}
};

// A window onto larger content that a finger pans and zooms. The zooming view (from the
// delegate) is drawn scaled by the zoom scale about its origin; every subview is shifted by
// the content offset. Touches that start on the scroll view or its content come to the
// scroll view itself: a movement pans, a touch that lifts without moving reaches the
// subview under it as a tap, and two quick taps zoom in or back out.
class ScrollView : public View {
  public:
    using View::View;
    ~ScrollView() override;

    // In the content's own units, unscaled.
    foundation::Size contentSize() const { return contentSize_; }
    void setContentSize(foundation::Size size);
    // In the scroll view's own points, within 0 ... maximumContentOffset(); only a finger
    // pulling past an edge takes it outside for a while.
    foundation::Point contentOffset() const { return contentOffset_; }
    void setContentOffset(foundation::Point offset);
    // The content's size as shown: scaled by the zoom where a zooming view exists.
    foundation::Size scrollableExtent() const;
    foundation::Point maximumContentOffset() const;

    // Sets the model value as given; only zooming by the user keeps within the limits.
    float zoomScale() const { return zoomScale_; }
    void setZoomScale(float scale);
    float minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(float scale) { minimumZoomScale_ = scale; }
    float maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(float scale) { maximumZoomScale_ = scale; }
    // Zooms to `scale`, kept between the limits, so that the content under `point` (in the
    // scroll view's own points) stays where it is; false if nothing changed.
    bool zoomAbout(foundation::Point point, float scale);

    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    std::shared_ptr<View> zoomingView() const;

    // A finger is down on the scroll view, / and has moved far enough to pan it.
    bool isTracking() const { return tracking_.has_value(); }
    bool isDragging() const { return tracking_ && tracking_->dragging; }
    // Pulled past an edge and let go, the content is on its way back.
    bool isDecelerating() const { return settle_.has_value(); }

    std::shared_ptr<View> hitTest(foundation::Point point) override;
    bool acceptsKeys() const override { return true; }
    void touchesBegan(const Touches& touches) override;
    void touchesMoved(const Touches& touches) override;
    void touchesEnded(const Touches& touches) override;
    void touchesCancelled(const Touches& touches) override;
    bool keyDown(const KeyPress& key) override;
    bool scrollWheel(const WheelEvent& wheel) override;
    bool magnify(foundation::Point locationInWindow, float factor) override;

  protected:
    foundation::Point convertFromSubview(const View& subview,
                                         foundation::Point point) const override;
    foundation::Point convertToSubview(const View& subview, foundation::Point point) const override;

  private:
    struct Tracking {
        foundation::Point start;        // the finger, in own points
        foundation::Point startOffset;  // the offset without the rubber band's damping
        bool dragging = false;
    };
    struct Settle {
        foundation::Point from;
        foundation::Point to;
        double start = 0.0;
        std::shared_ptr<foundation::Timer> timer;
    };
    struct Tap {
        double time = 0.0;
        foundation::Point point;
    };

    bool isOwn(const Touches& touches) const;
    void moveTo(foundation::Point offset);
    foundation::Point clamped(foundation::Point offset) const;
    foundation::Point rubberBanded(foundation::Point offset) const;
    foundation::Point undamped(foundation::Point offset) const;
    float clampedZoom(float scale) const;
    bool scrollBy(float dx, float dy);
    void settle();
    void settleStep();
    void stopSettling();
    void tapped(const Touch& touch);
    bool isDoubleTap(foundation::Point point, double now) const;
    void toggleZoom(foundation::Point point);
    void deliverTap(const Touch& touch);

    foundation::Size contentSize_;
    foundation::Point contentOffset_;
    float zoomScale_ = 1.0f;
    float minimumZoomScale_ = 1.0f;
    float maximumZoomScale_ = 1.0f;
    bool bounces_ = true;
    std::weak_ptr<ScrollViewDelegate> delegate_;
    std::optional<Tracking> tracking_;
    std::optional<Settle> settle_;
    std::optional<Tap> lastTap_;
};

}  // namespace platform::ui
