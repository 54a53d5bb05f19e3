#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/media/live_picture_view.h"
#include "platform/ui/window.h"
#include "tests/ui/screen_pixels.h"

namespace {

using namespace screen_pixels;
using platform::foundation::AffineTransform;
using platform::foundation::Rect;
using platform::graphics::ImageOrientation;
using platform::media::LivePictureView;
using platform::ui::View;
using platform::ui::Window;

// Stored as a landscape sensor image: top half red, bottom half blue.
ImagePtr sensorFrame(ImageOrientation orientation) {
    auto pixels = std::make_shared<PixelBuffer>(80, 60, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) pixels->setPixel(x, y, argbOf(y < 30 ? kRed : kBlue));
    return std::make_shared<Image>(pixels, orientation, 1.0f);
}

// Three upright vertical stripes, red, green and blue, each 20 wide.
ImagePtr stripes() {
    auto pixels = std::make_shared<PixelBuffer>(60, 80, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 60; ++x)
            pixels->setPixel(x, y, argbOf(x < 20 ? kRed : x < 40 ? kGreen : kBlue));
    return std::make_shared<Image>(pixels, ImageOrientation::Up, 1.0f);
}

struct LiveScreen {
    std::shared_ptr<Window> window = std::make_shared<Window>();
    std::shared_ptr<LivePictureView> live = std::make_shared<LivePictureView>(Rect{0, 0, 60, 80});
    LiveScreen() { window->addSubview(live); }
};

TEST(LivePictureView, RightTaggedFrameIsDrawnUprightCoveringTheViewInProportion) {
    LiveScreen screen;
    screen.live->setCameraFrame(sensorFrame(ImageOrientation::Right));
    // A quarter turn clockwise: the stored top (red) becomes the right-hand side.
    auto drawn = drawScreen(*screen.window, 2.0f);
    EXPECT_EQ(pixelAt(*drawn, 10, 40), kBlue);
    EXPECT_EQ(pixelAt(*drawn, 50, 2), kRed);
    EXPECT_EQ(pixelAt(*drawn, 50, 78), kRed);

    // Scaled to 60 × 80 and centred: only the middle of its height shows, the whole width.
    screen.live->setFrame({0, 0, 60, 40});
    drawn = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*drawn, 1, 1), kBlue);
    EXPECT_EQ(pixelAt(*drawn, 59, 39), kRed);
    EXPECT_EQ(pixelAt(*drawn, 30, 41), kBlack);  // nothing outside the view
}

TEST(LivePictureView, PreviewTransformActsAboutTheCentre) {
    LiveScreen screen;
    screen.live->setCameraFrame(stripes());
    auto plain = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*plain, 15, 40), kRed);

    screen.live->setPreviewTransform(AffineTransform::identity().scaled(2, 2));
    EXPECT_EQ(screen.live->previewTransform(), AffineTransform::identity().scaled(2, 2));
    auto zoomed = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*zoomed, 5, 40), kRed);     // 30 + (5 - 30) / 2 = 17.5
    EXPECT_EQ(pixelAt(*zoomed, 15, 40), kGreen);  // 22.5
    EXPECT_EQ(pixelAt(*zoomed, 55, 40), kBlue);   // 42.5

    screen.live->setPreviewTransform({0.5f, 0, 0, 0.5f, 0, 0});  // uncovers the edges
    auto shrunk = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*shrunk, 5, 40), kBlack);
    EXPECT_EQ(pixelAt(*shrunk, 30, 5), kBlack);
    EXPECT_EQ(pixelAt(*shrunk, 30, 40), kGreen);

    screen.live->setPreviewTransform({0, 0, 0, 0, 0, 0});  // flat: nothing of the frame
    auto flat = drawScreen(*screen.window);
    EXPECT_EQ(pixelAt(*flat, 30, 40), kBlack);
}

TEST(LivePictureView, WithoutFrameShowsItsStatusOnDarkness) {
    LiveScreen screen;
    screen.live->setFrame({0, 0, 320, 480});
    auto starting = drawScreen(*screen.window);
    const Rgb dark = pixelAt(*starting, 5, 5);
    EXPECT_NE(dark, kBlack);
    EXPECT_LT(dark.r + dark.g + dark.b, 150);
    int lit = 0;
    for (float x = 10; x < 310; x += 1)
        if (pixelAt(*starting, x, 240).r > 150) ++lit;
    EXPECT_GT(lit, 10) << "status text";
    EXPECT_EQ(screen.live->statusText(), "Starting camera…");

    screen.live->setStatusText("No camera: device busy");
    EXPECT_FALSE(samePixels(*starting, *drawScreen(*screen.window)));

    screen.live->setCameraFrame(stripes());
    screen.live->setCameraFrame(nullptr);  // the camera went away again
    EXPECT_TRUE(near(pixelAt(*drawScreen(*screen.window), 5, 5), dark, 0));
}

// A cause can be a whole pipeline or a device path without a space; it stays on the screen.
TEST(LivePictureView, ALongStatusIsWrappedWithinTheScreen) {
    LiveScreen screen;
    screen.live->setFrame({0, 0, 320, 480});
    screen.live->setStatusText(
        "No picture from pipeline videotestsrc pattern=ball ! identity drop-probability=1.0\n"
        "/dev/v4l/by-id/usb-Generic_USB2.0_HD_UVC_WebCam_200901010001-video-index0 is gone");
    auto drawn = drawScreen(*screen.window);
    float left = 320, right = 0, top = 480, bottom = 0;
    for (float y = 0; y < 480; y += 0.5f)
        for (float x = 0; x < 320; x += 0.5f)
            if (pixelAt(*drawn, x, y).r > 150) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(left, 5.0f);
    EXPECT_LT(right, 315.0f);
    EXPECT_GT(bottom - top, 4 * 15.0f) << "five lines or more of 15-point text";
    EXPECT_LT(std::abs((top + bottom) / 2 - 240), 20.0f) << "centred";
}

// The caption says what the picture is, low on the left over it; without a picture the
// status alone speaks.
TEST(LivePictureView, ACaptionShowsOverTheLivePictureOnly) {
    auto window = std::make_shared<Window>();
    auto live = std::make_shared<LivePictureView>(Rect{0, 0, 320, 480});
    window->addSubview(live);
    live->setCameraFrame(solidPicture(64, 96, kGreen));
    const auto generation = live->videoGeneration();
    live->setCaption("Test camera");
    EXPECT_GT(live->videoGeneration(), generation);
    const auto captioned = drawScreen(*window);
    EXPECT_NE(pixelAt(*captioned, 10, 409), kGreen);  // the caption's plate
    EXPECT_EQ(pixelAt(*captioned, 160, 240), kGreen);

    live->setCameraFrame(nullptr);
    const auto dark = drawScreen(*window);
    EXPECT_EQ(pixelAt(*dark, 10, 409), pixelAt(*dark, 300, 409));
}

}  // namespace
