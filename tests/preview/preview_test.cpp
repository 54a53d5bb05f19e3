#include <gtest/gtest.h>

#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/png_codec.h"
#include "preview/preview.h"
#include "tests/graphics/address_space_limit.h"

namespace preview {
namespace {

using platform::foundation::Size;
using platform::graphics::ImageOrientation;

platform::graphics::ImagePtr picture(int w, int h, ImageOrientation tag = ImageOrientation::Up) {
    auto pixels = std::make_shared<platform::graphics::PixelBuffer>(
        w, h, platform::graphics::PixelBuffer::Format::Rgb24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels->setPixel(x, y, 0xff000000u | static_cast<std::uint32_t>(x * 7 + y));
    return std::make_shared<const platform::graphics::Image>(pixels, tag, 1.0f);
}

class PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::VirtualClock>());
        screen = Preview::fromInterfaceResource("Preview");
    }
    void TearDown() override {
        screen.reset();
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::SystemClock>());
    }
    static platform::foundation::RunLoop& loop() { return platform::foundation::RunLoop::main(); }
    // Hands the picture over and lets its preparation off the main thread finish.
    void show(const platform::graphics::ImagePtr& p) {
        screen->addImage(p);
        loop().runFor(0);
    }
    std::shared_ptr<Preview> screen;
    platform::foundation::SystemLog::Capture log;
};

TEST_F(PreviewTest, ContentKeepsTheScreensProportionsAndStartsFullyZoomedOut) {
    struct Case {
        int w, h;
        Size content;
        float minimum;
    };
    for (const Case& c :
         {Case{1600, 1200, {1600, 2180}, 0.2f}, Case{1200, 1600, {1174.3119f, 1600}, 0.2725f},
          Case{320, 436, {320, 436}, 1.0f}, Case{200, 100, {200, 272.5f}, 1.6f}}) {
        SCOPED_TRACE(c.w);
        show(picture(c.w, c.h));
        const auto& scroll = *screen->scrollView;
        EXPECT_NEAR(scroll.contentSize().width, c.content.width, 1e-3);
        EXPECT_NEAR(scroll.contentSize().height, c.content.height, 1e-3);
        EXPECT_EQ(screen->imageView->frame().size, scroll.contentSize());
        EXPECT_NEAR(scroll.minimumZoomScale(), c.minimum, 1e-4);
        EXPECT_EQ(scroll.zoomScale(), scroll.minimumZoomScale());
        EXPECT_EQ(scroll.maximumZoomScale(), 1.0f);
    }
    // Every call replaced the pair: exactly one scroll view on the screen.
    int scrolls = 0;
    for (const auto& v : screen->view()->subviews())
        scrolls += std::dynamic_pointer_cast<platform::ui::ScrollView>(v) != nullptr;
    EXPECT_EQ(scrolls, 1);
}

TEST_F(PreviewTest, ShowsThePictureDecodedFromItsPngBytesUprightAndNoPictureAsNothing) {
    show(picture(30, 20, ImageOrientation::Right));
    auto decoded = platform::graphics::decodePng(screen->data);
    ASSERT_TRUE(decoded.ok());
    const auto& shown = screen->imageView->image();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->size(), (Size{20, 30}));
    EXPECT_EQ(shown->imageOrientation(), ImageOrientation::Up);
    EXPECT_EQ(shown->pixels().pixel(3, 4), decoded.value()->pixels().pixel(3, 4));
    screen->close();
    EXPECT_EQ(screen->imageView->image(), nullptr);
    EXPECT_FALSE(screen->data.empty());

    show(picture(64, 48));
    screen->addImage(nullptr);
    EXPECT_TRUE(screen->data.empty());
    EXPECT_EQ(screen->imageView->image(), nullptr);
    EXPECT_EQ(screen->imageView->superview(), nullptr);
}

TEST_F(PreviewTest, TheBusyIndicatorGoesOnceAPictureShowsOrTheScreenIsLeft) {
    screen->addActivityIndicator();
    screen->addImage(nullptr);
    loop().runFor(0.45);
    EXPECT_NE(screen->activityIndicator, nullptr);
    show(picture(16, 16));
    loop().runFor(0.2);
    EXPECT_EQ(screen->activityIndicator, nullptr);
    EXPECT_EQ(screen->timer, nullptr);
    screen->addActivityIndicator();
    screen->viewDidDisappear(false);
    EXPECT_EQ(screen->timer, nullptr);
}

TEST_F(PreviewTest, PictureWorkIsDoneOffTheMainThreadAndOnlyTheNewestIsShown) {
    screen->addImage(picture(40, 30));
    // Handed over, not yet prepared: the screen is empty and says it is busy.
    EXPECT_EQ(screen->imageView->image(), nullptr);
    EXPECT_TRUE(screen->isPreparingPicture());
    screen->addImage(picture(24, 60));
    loop().runFor(0);
    EXPECT_FALSE(screen->isPreparingPicture());
    ASSERT_NE(screen->imageView->image(), nullptr);
    EXPECT_EQ(screen->imageView->image()->size(), (Size{24, 60}));
    EXPECT_EQ(screen->imageView->superview(), screen->scrollView);
    EXPECT_NEAR(screen->scrollView->contentSize().width, 44.036697f, 1e-3);
    auto decoded = platform::graphics::decodePng(screen->data);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded.value()->size(), (Size{24, 60}));
}

TEST_F(PreviewTest, APictureWithoutMemoryForItsCopiesIsALoggedFailureNotACrash) {
    // Its upright copy is as large as the picture, more than the address space has left.
    const auto large = picture(3000, 2000, ImageOrientation::Right);
    platform::graphics::PixelMemory::releaseCached();
    const int status = address_space_limit::runWithHeadroom(16u << 20, [&] {
        show(large);
        const bool empty = screen->imageView->image() == nullptr && screen->data.empty();
        return empty && log.contains("not enough memory to show the picture") ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(PreviewTest, BackLeavesTheLibrarysPresentationSoTheAlbumWorksAgain) {
    auto held = std::make_shared<platform::ui::ViewController>();
    held->presentModalViewController(screen, false);
    show(picture(16, 16));
    screen->back();
    EXPECT_EQ(screen->view()->superview(), nullptr);
    EXPECT_EQ(held->modalViewController(), nullptr);
    EXPECT_NE(screen->imageView->image(), nullptr);  // unlike close, the picture stays
    held->presentModalViewController(screen, false);
    EXPECT_EQ(held->modalViewController(), screen);
}

}  // namespace
}  // namespace preview
