#pragma once

#include <memory>
#include <string_view>
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

// Keys as the interface knows them, whatever keyboard or script produced them.
enum class Key {
    Up,
    Down,
    Left,
    Right,
    PageUp,
    PageDown,
    Home,
    End,
    Plus,
    Minus,
    Return,
    Tab,
    Backspace,
    Delete,
    Escape,
    Space,
    // The system's paste shortcut (Ctrl+V, Shift+Insert): the clipboard's text goes in.
    Paste
};

struct KeyPress {
    Key key;
    bool ctrl = false;
    bool shift = false;
};

// A turn of the mouse wheel (or a two-finger swipe on a touchpad), in notches: dy > 0 is
// away from the user, dx > 0 to the right.
struct WheelEvent {
    foundation::Point locationInWindow;
    float dx = 0;
    float dy = 0;
    bool ctrl = false;
};

// Something that can handle touches, keys, typed text, the wheel and pinches. What a
// responder does not handle goes to its next responder: a view's view controller if it is
// one's view, else its superview. The events that can go unhandled say whether someone
// took them.
class Responder {
  public:
    virtual ~Responder() = default;
    virtual Responder* nextResponder() const { return nullptr; }
    virtual void touchesBegan(const Touches& touches);
    virtual void touchesMoved(const Touches& touches);
    virtual void touchesEnded(const Touches& touches);
    virtual void touchesCancelled(const Touches& touches);
    virtual bool keyDown(const KeyPress& key);
    // Text as the keyboard or an input method composed it, UTF-8: a key press may come
    // as both a keyDown and the text it types.
    virtual bool insertText(std::string_view utf8);
    // While it is the first responder, the keys that type text (Space, the digits) are
    // text and stand for nothing else.
    virtual bool acceptsTextInput() const { return false; }
    virtual bool scrollWheel(const WheelEvent& wheel);
    // Two fingers moving apart (factor > 1) or together about a point.
    virtual bool magnify(foundation::Point locationInWindow, float factor);
};

}  // namespace platform::ui
