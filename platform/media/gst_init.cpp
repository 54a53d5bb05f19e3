#include <mutex>

#include "platform/media/gst_ptr.h"

namespace platform::media::gst {

void ensureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

}  // namespace platform::media::gst
