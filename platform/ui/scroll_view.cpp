#include "platform/ui/scroll_view.h"

namespace platform::ui {

void ScrollView::setContentSize(foundation::Size size) {
    contentSize_ = size;
    setNeedsDisplay();
}

void ScrollView::setContentOffset(foundation::Point offset) {
    contentOffset_ = offset;
    setNeedsDisplay();
}

void ScrollView::setZoomScale(float scale) {
    zoomScale_ = scale;
    setNeedsDisplay();
}

std::shared_ptr<View> ScrollView::zoomingView() {
    auto d = delegate();
    return d ? d->viewForZoomingInScrollView(*this) : nullptr;
}

}  // namespace platform::ui
