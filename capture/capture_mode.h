#pragma once

namespace capture {

// The tag of the tab bar's selected item is the capture mode; it is never stored.
enum CaptureMode : int {
    QuickShot = 1,
    Zoom = 2,
    Timer = 3,
    TimerLoop = 4,
    Library = 5,
};

}  // namespace capture
