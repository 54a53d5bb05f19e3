#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/geometry.h"

namespace platform::ui {

class View;

// One finger (or the mouse) on the screen; the location is in window points.
struct Touch {
    foundation::Point locationInWindow;
    std::weak_ptr<View> view;
    foundation::Point locationInView(const View* view) const;
};
using Touches = std::vector<Touch>;

// Something that can handle touches. What a responder does not handle goes to its next
// responder: a view's view controller if it is one's view, else its superview.
class Responder {
  public:
    virtual ~Responder() = default;
    virtual Responder* nextResponder() const { return nullptr; }
    virtual void touchesBegan(const Touches& touches);
    virtual void touchesMoved(const Touches& touches);
    virtual void touchesEnded(const Touches& touches);
    virtual void touchesCancelled(const Touches& touches);
};

}  // namespace platform::ui
