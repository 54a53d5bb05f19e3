#include "platform/media/gst_device_source.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::media::gst;

CapsPtr caps(const char* description) {
    ensureInitialised();
    return CapsPtr(gst_caps_from_string(description));
}

std::string text(const CapsPtr& caps) {
    return StringPtr(gst_caps_to_string(caps.get())).get();
}

TEST(LargestSizeCaps, KeepsEveryFormatOfTheLargestSizeOnly) {
    const auto device = caps(
        "video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
        "video/x-raw, format=YUY2, width=1920, height=1080, framerate=5/1; "
        "image/jpeg, width=1920, height=1080, framerate=30/1; "
        "image/jpeg, width=1280, height=720, framerate=30/1");
    const auto expected = caps(
        "video/x-raw, format=YUY2, width=1920, height=1080, framerate=5/1; "
        "image/jpeg, width=1920, height=1080, framerate=30/1");
    const auto largest = largestSizeCaps(device.get());
    EXPECT_TRUE(gst_caps_is_strictly_equal(largest.get(), expected.get())) << text(largest);
}

TEST(LargestSizeCaps, TakesTheTopOfSizeRangesAndLists) {
    const auto device = caps(
        "video/x-raw, format=NV12, width=[ 16, 2592 ], height=[ 16, 1944 ]; "
        "video/x-raw, format=YUY2, width={ 640, 1280 }, height={ 480, 960 }");
    const auto expected = caps("video/x-raw, format=NV12, width=2592, height=1944");
    const auto largest = largestSizeCaps(device.get());
    EXPECT_TRUE(gst_caps_is_strictly_equal(largest.get(), expected.get())) << text(largest);
}

TEST(LargestSizeCaps, CapsWithoutASizeGiveNothing) {
    EXPECT_TRUE(gst_caps_is_empty(largestSizeCaps(caps("video/x-raw, format=YUY2").get()).get()));
}

}  // namespace
