#include "platform/media/thumbnail_cache.h"
#include "platform/media/album_browser.h"

#include <sys/stat.h>

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>
#include <thread>
#include <tuple>

#include "platform/foundation/log.h"
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"
#include "platform/media/services.h"
#include "platform/ui/window.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::foundation::VirtualClock;
using namespace test_pictures;
using platform::media::Thumbnail;
using platform::media::ThumbnailCache;
using Bytes = std::vector<std::uint8_t>;
using Kind = Thumbnail::Kind;

constexpr std::uint32_t kMagenta = 0xFFFF00FFu;

Bytes jpegOf(const std::shared_ptr<PixelBuffer>& pixels, int exifOrientation = 1) {
    return platform::graphics::withExifOrientation(test_pictures::jpegOf(*pixels), exifOrientation);
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string mtimeOf(const fs::path& file) {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return std::to_string(status.st_mtim.tv_sec);
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// A thumbnail as another program leaves it: a solid magenta square PNG written with nothing but
// zlib, with only the text it is given (and no Thumb::Size, which the standard does not require).
void writeOthersThumbnail(const fs::path& path, const std::string& uri, const std::string& mtime,
                          int side = 4) {
    reference_png::Picture magenta;
    magenta.width = magenta.height = side;
    for (int i = 0; i < side * side; ++i)
        magenta.samples.insert(magenta.samples.end(), {255, 0, 255});
    auto png = reference_png::file(magenta);
    std::vector<std::uint8_t> texts;
    for (const auto& [key, text] : {std::pair{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}) {
        const std::string body = key + std::string(1, '\0') + text;
        reference_png::putChunk(texts, "tEXt", {body.begin(), body.end()});
    }
    png.insert(png.begin() + 33, texts.begin(), texts.end());  // after the header chunk
    writeFile(path, png);
}

class ThumbnailCacheTest : public testing::Test {
  protected:
    struct Answer {
        fs::path file;
        Kind kind;
        ImagePtr picture;
    };

    void SetUp() override { fs::create_directories(photos_); }

    std::unique_ptr<ThumbnailCache> makeCache(
        ThumbnailCache::Flavor flavor = ThumbnailCache::Flavor::Large) {
        auto cache = std::make_unique<ThumbnailCache>(root_, flavor, loop_);
        cache->setHandler([this](const fs::path& file, const Thumbnail& thumbnail) {
            onLoopThread_ = onLoopThread_ && std::this_thread::get_id() == loopThread_;
            answers_.push_back({file, thumbnail.kind, thumbnail.picture});
        });
        return cache;
    }

    // Every answer to these files, once all of them are in.
    std::vector<Answer> thumbnailsOf(ThumbnailCache& cache, std::vector<fs::path> files) {
        answers_.clear();
        cache.request(std::move(files));
        loop_.runFor(0.001);
        EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
        return answers_;
    }
    Answer onlyAnswer(ThumbnailCache& cache, const fs::path& file) {
        const std::vector<Answer> answers = thumbnailsOf(cache, {file});
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? Answer{file, Kind::Failed, nullptr} : answers.back();
    }

    fs::path photo(const std::string& name, const Bytes& bytes) {
        writeFile(photos_ / name, bytes);
        return photos_ / name;
    }

    independent_tools::ScratchFiles files_;
    const fs::path photos_ = files_.path("photos");
    const fs::path root_ = files_.path("cache") / "thumbnails";  // made by the cache
    RunLoop loop_{std::make_shared<VirtualClock>()};
    std::vector<Answer> answers_;
    const std::thread::id loopThread_ = std::this_thread::get_id();
    bool onLoopThread_ = true;
};

TEST_F(ThumbnailCacheTest, NamesAreTheOnesFileManagersGiveThem) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        if (c != '/') everyByte += static_cast<char>(c);
    const fs::path files[] = {photos_ / "IMG_0001.jpg", photos_ / "Été à Zürich; #1 (50%)?.jpg",
                              fs::path("relative") / ".." / "x y.png", photos_ / everyByte};
    const auto large = makeCache(ThumbnailCache::Flavor::Large);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file);
        // GLib's naming is the one GNOME's and most other file managers' thumbnails go by.
        gchar* canonical = g_canonicalize_filename(file.c_str(), nullptr);
        gchar* expected = g_filename_to_uri(canonical, nullptr, nullptr);
        const std::string uri = ThumbnailCache::uriFor(file);
        EXPECT_EQ(uri, expected);
        g_free(expected);
        g_free(canonical);

        const std::string name = independent_tools::md5Hex(uri) + ".png";
        EXPECT_EQ(large->thumbnailPathFor(file), root_ / "large" / name);
        EXPECT_EQ(large->failPathFor(file), root_ / "fail" / ("orvex-" ORVEX_VERSION) / name);
    }
}

TEST_F(ThumbnailCacheTest, TheExifThumbnailAnswersFirstThenAnUprightOneOtherProgramsCanRead) {
    // Stored sideways (EXIF 6 asks for a quarter turn clockwise), with the camera's thumbnail
    // stored as the photo is, darker so that it can be told apart.
    const Bytes embedded = test_pictures::jpegOf(*quadrants(160, 120, 0.5), 85);
    const Bytes plain = jpegOf(quadrants(1200, 900));
    const Bytes tagged = platform::graphics::withExifThumbnail(
        plain, embedded, platform::graphics::ImageOrientation::Right);
    const fs::path file = photo("camera.jpg", tagged);
    const auto cache = makeCache();

    const std::vector<Answer> answers = thumbnailsOf(*cache, {file});
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_EQ(answers[0].kind, Kind::Provisional);
    EXPECT_EQ(test_pictures::dimensions(answers[0].picture->pixels()), std::pair(120, 160));
    const auto dark = [](std::uint32_t c) { return 0xFF000000u | ((c >> 1) & 0x7F7F7F); };
    expectQuadrants(answers[0].picture, {dark(kBlue), dark(kRed), dark(kWhite), dark(kGreen)});
    const Answer& answer = answers[1];
    EXPECT_EQ(answer.file, file);
    ASSERT_EQ(answer.kind, Kind::Final);
    EXPECT_TRUE(onLoopThread_);
    const PixelBuffer& pixels = answer.picture->pixels();
    EXPECT_EQ(test_pictures::dimensions(pixels), std::pair(900 * 256 / 1200, 256));
    EXPECT_EQ(answer.picture->imageOrientation(), platform::graphics::ImageOrientation::Up);
    expectQuadrants(answer.picture, {kBlue, kRed, kWhite, kGreen});

    const fs::path stored = cache->thumbnailPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(stored);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(std::pair(walk.width, walk.height), test_pictures::dimensions(pixels));
    EXPECT_EQ(walk.texts, (std::map<std::string, std::string>{
                              {"Thumb::URI", ThumbnailCache::uriFor(file)},
                              {"Thumb::MTime", mtimeOf(file)},
                              {"Thumb::Size", std::to_string(fs::file_size(file))},
                              {"Thumb::Image::Width", "900"},
                              {"Thumb::Image::Height", "1200"},
                              {"Software", "Orvex " ORVEX_VERSION}}));
    // Private to the user, and nothing half-written left beside it.
    EXPECT_EQ(modeOf(stored), 0600u);
    EXPECT_EQ(modeOf(root_ / "large"), 0700u);
    EXPECT_EQ(modeOf(root_), 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "large"), {}), 1);

    // Once made, the thumbnail on record is the whole answer.
    const std::vector<Answer> again = thumbnailsOf(*cache, {file});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].kind, Kind::Final);

    // A photo whose picture is damaged past its EXIF block still shows the camera's thumbnail.
    Bytes damaged = tagged;
    damaged.resize(tagged.size() - plain.size() / 2);
    const std::vector<Answer> partial = thumbnailsOf(*cache, {photo("damaged.jpg", damaged)});
    ASSERT_EQ(partial.size(), 2u);
    EXPECT_EQ(partial[0].kind, Kind::Provisional);
    EXPECT_EQ(partial[1].kind, Kind::Failed);
}

TEST_F(ThumbnailCacheTest, AThumbnailOnRecordIsUsedOnlyWhileItRecordsTheFileAsItIs) {
    const fs::path file = photo("photo.jpg", jpegOf(quadrants(600, 400)));
    const auto cache = makeCache();
    const fs::path stored = cache->thumbnailPathFor(file);
    const std::string uri = ThumbnailCache::uriFor(file), mtime = mtimeOf(file);

    writeOthersThumbnail(stored, uri, mtime);
    const Answer kept = onlyAnswer(*cache, file);
    ASSERT_EQ(kept.kind, Kind::Final);
    EXPECT_EQ(kept.picture->pixels().width(), 4);  // read, not made again
    EXPECT_TRUE(near(colourAt(kept.picture, 0.5, 0.5), kMagenta, 0));

    // The file modified since, another file's record, one larger than a large thumbnail may be.
    const std::tuple<std::string, std::string, int> staleRecords[] = {
        {uri, std::to_string(std::stoll(mtime) + 3600), 4},
        {ThumbnailCache::uriFor(photos_ / "other.jpg"), mtime, 4},
        {uri, mtime, 300},
    };
    for (const auto& [recordedUri, recordedTime, side] : staleRecords) {
        SCOPED_TRACE(recordedUri + " " + recordedTime);
        writeOthersThumbnail(stored, recordedUri, recordedTime, side);
        const Answer remade = onlyAnswer(*cache, file);
        ASSERT_EQ(remade.kind, Kind::Final);
        EXPECT_EQ(remade.picture->pixels().width(), 256);
        expectQuadrants(remade.picture, {kRed, kGreen, kBlue, kWhite});
    }

    // Rewritten within the same second, as a burst of saves does: the recorded size tells.
    const auto madeAt = fs::last_write_time(file);
    writeFile(file, jpegOf(solid(500, 300, kGreen)));
    fs::last_write_time(file, madeAt);
    const Answer green = onlyAnswer(*cache, file);
    EXPECT_TRUE(near(colourAt(green.picture, 0.5, 0.5), kGreen));
    EXPECT_EQ(green.picture->pixels().height(), std::lround(300 * 256 / 500.0));
}

TEST_F(ThumbnailCacheTest, UnreadableFilesFailAndAreRememberedUntilTheyChange) {
    const Bytes good = jpegOf(quadrants(320, 240));
    Bytes broken = good, truncated = good;
    broken[0] = 0;  // no longer a JPEG, and just as long
    truncated.resize(good.size() / 2);
    const fs::path huge = photos_ / "huge.jpg";
    writeFile(huge, {0xFF, 0xD8, 0xFF});
    fs::resize_file(huge, 201u << 20);  // sparse: costs no disk, but too large to read
    const struct {
        fs::path file;
        bool remembered;  // a fail entry records it
    } cases[] = {
        {photo("broken.jpg", broken), true}, {photo("truncated.jpg", truncated), true},
        {photo("empty.png", {}), true},      {huge, true},
        {photos_ / "missing.jpg", false},    {photos_, false},
    };
    const auto cache = makeCache();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Answer answer = onlyAnswer(*cache, c.file);
        EXPECT_EQ(answer.kind, Kind::Failed);
        EXPECT_FALSE(answer.picture);
        EXPECT_EQ(fs::exists(cache->failPathFor(c.file)), c.remembered);
        EXPECT_FALSE(fs::exists(cache->thumbnailPathFor(c.file)));
    }

    // The entry records the file as a thumbnail does, and is the user's alone.
    const fs::path file = cases[0].file, entry = cache->failPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(entry);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(walk.texts.at("Thumb::URI"), ThumbnailCache::uriFor(file));
    EXPECT_EQ(walk.texts.at("Thumb::MTime"), mtimeOf(file));
    EXPECT_EQ(modeOf(entry), 0600u);

    // Mended behind our back, under the same time and size: the entry still stands.
    const auto failedAt = fs::last_write_time(file);
    writeFile(file, good);
    fs::last_write_time(file, failedAt);
    EXPECT_EQ(onlyAnswer(*cache, file).kind, Kind::Failed);
    fs::last_write_time(file, failedAt + std::chrono::seconds(5));
    const Answer mended = onlyAnswer(*cache, file);
    ASSERT_EQ(mended.kind, Kind::Final);
    expectQuadrants(mended.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, PicturesAreFittedToTheFlavorAndNeverEnlarged) {
    const auto translucent = pixelsOf(
        1000, 500, [](int x, int) { return x < 500 ? 0x80800000u : 0u; },
        PixelBuffer::Format::Argb32);
    const fs::path png = photo("wide.png", platform::graphics::encodePng(*translucent).value());
    const fs::path small = photo("small.jpg", jpegOf(quadrants(100, 60)));
    const auto cache = makeCache(ThumbnailCache::Flavor::Normal);

    const Answer wide = onlyAnswer(*cache, png);
    ASSERT_EQ(wide.kind, Kind::Final);
    EXPECT_EQ(test_pictures::dimensions(wide.picture->pixels()), std::pair(128, 64));
    EXPECT_EQ(colourAt(wide.picture, 0.25, 0.5) >> 24, 0x80u);  // alpha kept
    EXPECT_EQ(colourAt(wide.picture, 0.75, 0.5) >> 24, 0u);
    EXPECT_EQ(cache->thumbnailPathFor(png).parent_path(), root_ / "normal");
    EXPECT_TRUE(fs::exists(cache->thumbnailPathFor(png)));

    const Answer kept = onlyAnswer(*cache, small);
    EXPECT_EQ(test_pictures::dimensions(kept.picture->pixels()), std::pair(100, 60));
    expectQuadrants(kept.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, ALaterRequestReplacesWhatIsPendingAndNoAnswerOutlivesTheCache) {
    std::vector<fs::path> files;
    for (int i = 0; i < 8; ++i)
        files.push_back(photo("p" + std::to_string(i) + ".jpg", jpegOf(quadrants(1600, 1200))));
    auto cache = makeCache();
    cache->request(files);
    cache->request({files[7], files[2], files[7]});
    loop_.runFor(0.001);
    std::map<fs::path, int> finals;
    for (const Answer& a : answers_) finals[a.file] += a.kind == Kind::Final;
    EXPECT_EQ(finals[files[7]], 1);
    EXPECT_EQ(finals[files[2]], 1);
    // Only what the two workers had already started may finish besides.
    EXPECT_LE(answers_.size(), 4u);
    EXPECT_EQ(answers_.size(), finals.size());
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);

    // Ended with work under way and answers posted: none of them arrives.
    answers_.clear();
    cache->request(files);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    cache.reset();
    loop_.runFor(0.001);
    EXPECT_TRUE(answers_.empty());
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);

    // Nor once a handler has ended it itself.
    cache = makeCache();
    int calls = 0;
    cache->setHandler([&](const fs::path&, const Thumbnail&) {
        ++calls;
        cache.reset();
    });
    cache->request(files);
    loop_.runFor(0.001);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
}

class AlbumBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(folder / "album");
        window->addSubview(browser->view());
        browser->setPickHandler([this](ImagePtr picture) { picked.push_back(picture); });
    }

    // Photos whose widths tell them apart.
    std::vector<fs::path> photos(int count) {
        std::vector<fs::path> made;
        for (int i = 0; i < count; ++i) {
            made.push_back(folder / "album" / ("IMG_" + std::to_string(i) + ".jpg"));
            writeFile(made.back(), jpegOf(solid(20 + i, 16, kGreen)));
        }
        return made;
    }
    void tapCell(std::size_t index) {
        const auto point = browser->touchPointOfCell(index);
        ASSERT_TRUE(point);
        window->tap(*point);
        RunLoop::main().runFor(0);
    }

    platform::foundation::SystemLog::Capture log;  // quiet
    independent_tools::ScratchFiles files;
    const fs::path& folder = files.folder();
    // The main loop on a virtual clock, and emptied at the end.
    platform::media::Services world{
        {.clock = std::make_shared<VirtualClock>(), .album = folder / "album"}};
    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>();
    std::shared_ptr<platform::media::AlbumBrowser> browser = platform::media::AlbumBrowser::make(
        {0, 44, 320, 436}, folder / "thumbnails", ThumbnailCache::Flavor::Normal);
    std::vector<ImagePtr> picked;
};

TEST_F(AlbumBrowserTest, ATapOnACellPicksThatPhotoWithItsOrientationTagNotYetTurned) {
    const auto listed = photos(8);
    writeFile(listed[6], jpegOf(solid(26, 16, kGreen), 6));  // stored sideways
    browser->reload(listed, folder / "album");
    RunLoop::main().runFor(0);
    tapCell(6);  // second row, third column
    ASSERT_EQ(picked.size(), 1u);
    ASSERT_NE(picked[0], nullptr);
    EXPECT_EQ(picked[0]->pixels().width(), 26);
    EXPECT_EQ(picked[0]->imageOrientation(), ImageOrientation::Right);
    // A touch in the gap between two cells picks nothing.
    const auto cell = browser->grid()->cellRect(1);
    const auto origin = browser->view()->originInWindow();
    window->tap({origin.x + cell.x() - 1.0f, origin.y + cell.center().y});
    RunLoop::main().runFor(0);
    EXPECT_EQ(picked.size(), 1u);
}

TEST_F(AlbumBrowserTest, OnlyCellsNearTheViewHoldThumbnails) {
    using CellState = platform::media::AlbumGridView::CellState;
    browser->reload(photos(240), folder / "album");
    RunLoop::main().runFor(0);
    const auto& grid = *browser->grid();
    EXPECT_EQ(grid.cell(0).state, CellState::Shown);
    EXPECT_EQ(grid.cell(239).state, CellState::Waiting);  // 60 rows down: never asked for
    browser->view()->setContentOffset({0, browser->view()->maximumContentOffset().y});
    RunLoop::main().runFor(0);
    EXPECT_EQ(grid.cell(239).state, CellState::Shown);
    EXPECT_EQ(grid.cell(0).state, CellState::Waiting);  // let go, far out of view
    std::size_t held = 0;
    for (std::size_t i = 0; i < grid.cellCount(); ++i) held += grid.cell(i).thumbnail != nullptr;
    EXPECT_LT(held, 120u);
}

TEST_F(AlbumBrowserTest, ALaterPickReplacesOneStillBeingRead) {
    browser->reload(photos(3), folder / "album");
    browser->pick(0);
    browser->pick(2);
    RunLoop::main().runFor(0);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0]->pixels().width(), 22);
}

}  // namespace
