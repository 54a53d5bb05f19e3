#include "platform/media/gst_sample_image.h"

#include <gst/video/video.h>

#include <cstring>

namespace platform::media::gst {

namespace {

bool isFourByteRgb(const GstVideoInfo& info) {
    const auto format = GST_VIDEO_INFO_FORMAT(&info);
    return format == GST_VIDEO_FORMAT_BGRx || format == GST_VIDEO_FORMAT_BGRA;
}

std::shared_ptr<graphics::PixelBuffer> copyPixels(const GstVideoFrame& frame) {
    const int width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
    auto pixels =
        std::make_shared<graphics::PixelBuffer>(width, height, graphics::PixelBuffer::Format::Rgb24,
                                                graphics::PixelBuffer::Contents::Unspecified);
    const auto* source = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const int sourceStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    if (sourceStride == pixels->stride()) {
        std::memcpy(pixels->data(), source, rowBytes * static_cast<std::size_t>(height));
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(pixels->row(y), source + static_cast<std::ptrdiff_t>(y) * sourceStride,
                        rowBytes);
    }
    return pixels;
}

}  // namespace

graphics::ImagePtr imageFromSample(GstSample* sample, graphics::ImageOrientation orientation) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) || !isFourByteRgb(info))
        return nullptr;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return nullptr;
    auto pixels = copyPixels(frame);
    gst_video_frame_unmap(&frame);
    return std::make_shared<const graphics::Image>(std::move(pixels), orientation, 1.0f);
}

}  // namespace platform::media::gst
