#include "platform/media/v4l2_flash.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::media {

namespace {

bool offersControl(int device, std::uint32_t control) {
    v4l2_queryctrl query{};
    query.id = control;
    return ioctl(device, VIDIOC_QUERYCTRL, &query) == 0 && !(query.flags & V4L2_CTRL_FLAG_DISABLED);
}

}  // namespace

bool v4l2DeviceOffersFlash(const std::string& path) {
    const int device = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device < 0) return false;
    const bool flash = offersControl(device, V4L2_CID_FLASH_LED_MODE) ||
                       offersControl(device, V4L2_CID_FLASH_TORCH_INTENSITY);
    close(device);
    return flash;
}

}  // namespace platform::media
