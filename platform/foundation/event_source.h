#pragma once

namespace platform::foundation {

// The window back end plugs its event queue into the loop through this interface.
class EventSource {
  public:
    virtual ~EventSource() = default;
    // Delivers every pending event without blocking.
    virtual void dispatchEvents() = 0;
    // Blocks until an event arrives, wake() is called or the timeout (seconds; negative:
    // none) runs out.
    virtual void waitForEvents(double timeout) = 0;
    // Makes a waitForEvents return. Called from any thread, with the loop's lock held: it
    // must not call back into the loop.
    virtual void wake() = 0;
    // Called when the loop has run everything due, just before it waits.
    virtual void turnEnded() {}
};

}  // namespace platform::foundation
