#include "platform/ui/clipboard.h"

namespace platform::ui {

namespace {
struct Clipboard {
    ClipboardAccess system;
    std::string own;
};

Clipboard& clipboard() {
    static Clipboard c;
    return c;
}
}  // namespace

std::string clipboardText() {
    auto& c = clipboard();
    return c.system.read ? c.system.read() : c.own;
}

void setClipboardText(std::string text) {
    auto& c = clipboard();
    if (c.system.write) {
        c.system.write(text);
    } else {
        c.own = std::move(text);
    }
}

void setClipboardAccess(ClipboardAccess access) {
    clipboard().system = std::move(access);
}

}  // namespace platform::ui
