#include "platform/media/album_browser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/ui/window.h"
#include "tests/graphics/independent_tools.h"

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::graphics::ImageOrientation;
using platform::graphics::ImagePtr;
using platform::media::AlbumBrowser;
using platform::media::AlbumGridView;
using platform::media::ThumbnailCache;
using CellState = AlbumGridView::CellState;

class AlbumBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::VirtualClock>());
        fs::create_directories(folder / "album");
        window = std::make_shared<platform::ui::Window>();
        browser = AlbumBrowser::make({0, 44, 320, 436}, folder / "thumbnails",
                                     ThumbnailCache::Flavor::Normal);
        window->addSubview(browser->view());
        browser->setPickHandler([this](ImagePtr picture) { picked.push_back(picture); });
    }
    void TearDown() override {
        browser.reset();
        window.reset();
        loop().reset();
        loop().setClock(std::make_shared<platform::foundation::SystemClock>());
    }
    static RunLoop& loop() { return RunLoop::main(); }

    // A small photo whose width tells it apart, stored with the EXIF orientation given.
    fs::path photo(int index, int exifOrientation = 1) {
        platform::graphics::PixelBuffer pixels(20 + index, 16,
                                               platform::graphics::PixelBuffer::Format::Rgb24);
        const auto jpeg = platform::graphics::withExifOrientation(
            platform::graphics::encodeJpeg(pixels, 80).value(), exifOrientation);
        const auto path = folder / "album" / ("IMG_" + std::to_string(index) + ".jpg");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        return path;
    }
    std::vector<fs::path> photos(int count) {
        std::vector<fs::path> made;
        for (int i = 0; i < count; ++i) made.push_back(photo(i));
        return made;
    }
    void tapCell(std::size_t index) {
        const auto point = browser->touchPointOfCell(index);
        ASSERT_TRUE(point);
        window->tap(*point);
        loop().runFor(0);
    }

    independent_tools::ScratchFiles files;
    const fs::path& folder = files.folder();
    std::shared_ptr<platform::ui::Window> window;
    std::shared_ptr<AlbumBrowser> browser;
    std::vector<ImagePtr> picked;
    platform::foundation::SystemLog::Capture log;  // quiet
};

TEST_F(AlbumBrowserTest, ATapOnACellPicksThatPhotoWithItsOrientationTagNotYetTurned) {
    auto listed = photos(9);
    listed[6] = photo(6, 6);  // stored sideways
    std::ofstream(listed[8], std::ios::trunc) << "no picture here";
    browser->reload(listed, folder / "album");
    loop().runFor(0);
    tapCell(6);  // second row, third column
    ASSERT_EQ(picked.size(), 1u);
    ASSERT_NE(picked[0], nullptr);
    EXPECT_EQ(picked[0]->pixels().width(), 26);
    EXPECT_EQ(picked[0]->imageOrientation(), ImageOrientation::Right);
    // A touch in the gap between two cells picks nothing.
    const auto cell = browser->grid()->cellRect(1);
    const auto origin = browser->view()->originInWindow();
    window->tap({origin.x + cell.x() - 1.0f, origin.y + cell.center().y});
    loop().runFor(0);
    EXPECT_EQ(picked.size(), 1u);
    // A file that is no picture shows broken, and its pick gives nothing.
    EXPECT_EQ(browser->grid()->cell(8).state, CellState::Broken);
    EXPECT_EQ(browser->thumbnailsReady(), 9u);
    tapCell(8);
    ASSERT_EQ(picked.size(), 2u);
    EXPECT_EQ(picked[1], nullptr);
}

TEST_F(AlbumBrowserTest, OnlyCellsNearTheViewHoldThumbnails) {
    browser->reload(photos(240), folder / "album");
    loop().runFor(0);
    const auto& grid = *browser->grid();
    EXPECT_EQ(grid.cell(0).state, CellState::Shown);
    EXPECT_EQ(grid.cell(239).state, CellState::Waiting);  // 60 rows down: never asked for
    browser->view()->setContentOffset({0, browser->view()->maximumContentOffset().y});
    loop().runFor(0);
    EXPECT_EQ(grid.cell(239).state, CellState::Shown);
    EXPECT_EQ(grid.cell(0).state, CellState::Waiting);  // let go, far out of view
    std::size_t held = 0;
    for (std::size_t i = 0; i < grid.cellCount(); ++i) held += grid.cell(i).thumbnail != nullptr;
    EXPECT_LT(held, 120u);
}

TEST_F(AlbumBrowserTest, ALaterPickReplacesOneStillBeingRead) {
    const auto listed = photos(3);
    browser->reload(listed, folder / "album");
    browser->pick(0);
    browser->pick(2);
    loop().runFor(0);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0]->pixels().width(), 22);
}

}  // namespace
