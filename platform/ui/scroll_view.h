#pragma once

#include <memory>

#include "platform/ui/view.h"

namespace platform::ui {

class ScrollView;

class ScrollViewDelegate {
  public:
    virtual ~ScrollViewDelegate() = default;
    virtual std::shared_ptr<View> viewForZoomingInScrollView(ScrollView& scrollView) = 0;
};

// A window onto larger content that can be moved and zoomed. The zooming view (from the
// delegate) is drawn scaled by the zoom scale and shifted by the content offset.
class ScrollView : public View {
  public:
    using View::View;

    foundation::Size contentSize() const { return contentSize_; }
    void setContentSize(foundation::Size size);
    foundation::Point contentOffset() const { return contentOffset_; }
    void setContentOffset(foundation::Point offset);
    float zoomScale() const { return zoomScale_; }
    void setZoomScale(float scale);
    float minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(float scale) { minimumZoomScale_ = scale; }
    float maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(float scale) { maximumZoomScale_ = scale; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    std::shared_ptr<View> zoomingView();

  private:
    foundation::Size contentSize_;
    foundation::Point contentOffset_;
    float zoomScale_ = 1.0f;
    float minimumZoomScale_ = 1.0f;
    float maximumZoomScale_ = 1.0f;
    bool bounces_ = true;
    std::weak_ptr<ScrollViewDelegate> delegate_;
};

}  // namespace platform::ui
