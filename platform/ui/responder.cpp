#include "platform/ui/responder.h"

#include "platform/ui/view.h"

namespace platform::ui {

foundation::Point Touch::locationInView(const View* target) const {
    return target ? target->convertFromWindow(locationInWindow) : locationInWindow;
}

void Responder::touchesBegan(const Touches& touches) {
    if (Responder* next = nextResponder()) next->touchesBegan(touches);
}
void Responder::touchesMoved(const Touches& touches) {
    if (Responder* next = nextResponder()) next->touchesMoved(touches);
}
void Responder::touchesEnded(const Touches& touches) {
    if (Responder* next = nextResponder()) next->touchesEnded(touches);
}
void Responder::touchesCancelled(const Touches& touches) {
    if (Responder* next = nextResponder()) next->touchesCancelled(touches);
}
bool Responder::keyDown(const KeyPress& key) {
    Responder* next = nextResponder();
    return next && next->keyDown(key);
}
bool Responder::insertText(std::string_view utf8) {
    Responder* next = nextResponder();
    return next && next->insertText(utf8);
}
bool Responder::scrollWheel(const WheelEvent& wheel) {
    Responder* next = nextResponder();
    return next && next->scrollWheel(wheel);
}
bool Responder::magnify(foundation::Point locationInWindow, float factor) {
    Responder* next = nextResponder();
    return next && next->magnify(locationInWindow, factor);
}

}  // namespace platform::ui
