#include <cstdlib>
#include <mutex>

#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

void ensureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] {
        // libcamera, asked by the device monitor for its cameras, would otherwise write its
        // version and routine notes to standard error at every start. A user's own choice
        // of its log levels stands.
        setenv("LIBCAMERA_LOG_LEVELS", "*:ERROR", 0);
        gst_init(nullptr, nullptr);
    });
}

}  // namespace platform::media::gst
