#include "platform/media/thumbnail_cache.h"

#include <sys/stat.h>

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>
#include <thread>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "platform/graphics/png_codec.h"
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
    const ThumbnailCache normal(root_, ThumbnailCache::Flavor::Normal, loop_);
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
        EXPECT_EQ(normal.thumbnailPathFor(file), root_ / "normal" / name);
        EXPECT_EQ(large->failPathFor(file), root_ / "fail" / ("orvex-" ORVEX_VERSION) / name);
    }
}

TEST_F(ThumbnailCacheTest, MakesAnUprightThumbnailThatOtherProgramsCanRead) {
    // Stored sideways: EXIF 6 asks for a quarter turn clockwise.
    const fs::path file = photo("sideways.jpg", jpegOf(quadrants(1200, 900), 6));
    const auto cache = makeCache();
    const Answer answer = onlyAnswer(*cache, file);
    EXPECT_EQ(answer.file, file);
    ASSERT_EQ(answer.kind, Kind::Final);
    EXPECT_TRUE(onLoopThread_);
    const PixelBuffer& pixels = answer.picture->pixels();
    EXPECT_EQ(pixels.height(), 256);
    EXPECT_EQ(pixels.width(), 900 * 256 / 1200);
    EXPECT_EQ(answer.picture->imageOrientation(), platform::graphics::ImageOrientation::Up);
    expectQuadrants(answer.picture, {kBlue, kRed, kWhite, kGreen});

    const fs::path stored = cache->thumbnailPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(stored);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(walk.width, pixels.width());
    EXPECT_EQ(walk.height, pixels.height());
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
}

TEST_F(ThumbnailCacheTest, AThumbnailOnRecordIsUsedOnlyWhileItRecordsTheFileAsItIs) {
    const fs::path file = photo("photo.jpg", jpegOf(quadrants(600, 400)));
    const fs::path other = photo("other.jpg", jpegOf(solid(60, 40, kRed)));
    const auto cache = makeCache();
    const fs::path stored = cache->thumbnailPathFor(file);

    writeOthersThumbnail(stored, ThumbnailCache::uriFor(file), mtimeOf(file));
    const Answer kept = onlyAnswer(*cache, file);
    ASSERT_EQ(kept.kind, Kind::Final);
    EXPECT_EQ(kept.picture->pixels().width(), 4);  // read, not made again
    EXPECT_TRUE(near(colourAt(kept.picture, 0.5, 0.5), kMagenta, 0));

    auto checkRemade = [&] {
        const Answer remade = onlyAnswer(*cache, file);
        ASSERT_EQ(remade.kind, Kind::Final);
        EXPECT_EQ(remade.picture->pixels().width(), 256);
        expectQuadrants(remade.picture, {kRed, kGreen, kBlue, kWhite});
    };
    const std::string mtime = mtimeOf(file);
    const std::string later = std::to_string(std::stoll(mtime) + 3600);
    const std::pair<std::string, std::string> staleRecords[] = {
        {ThumbnailCache::uriFor(file), later},   // the file was modified since
        {ThumbnailCache::uriFor(other), mtime},  // a different file's record
    };
    for (const auto& [uri, recordedTime] : staleRecords) {
        SCOPED_TRACE(uri + " " + recordedTime);
        writeOthersThumbnail(stored, uri, recordedTime);
        checkRemade();
    }
    // Recording the file as it is, but larger than a large thumbnail may be.
    writeOthersThumbnail(stored, ThumbnailCache::uriFor(file), mtime, 300);
    checkRemade();
}

TEST_F(ThumbnailCacheTest, AFileChangedAfterItsThumbnailWasMadeGetsANewOne) {
    const fs::path file = photo("changing.jpg", jpegOf(solid(400, 300, kRed)));
    const auto cache = makeCache();
    EXPECT_TRUE(near(colourAt(onlyAnswer(*cache, file).picture, 0.5, 0.5), kRed));

    const auto madeAt = fs::last_write_time(file);
    writeFile(file, jpegOf(solid(400, 300, kBlue)));
    fs::last_write_time(file, madeAt + std::chrono::seconds(2));
    EXPECT_TRUE(near(colourAt(onlyAnswer(*cache, file).picture, 0.5, 0.5), kBlue));

    // Rewritten within the same second, as a burst of saves does: the size tells.
    const auto blueAt = fs::last_write_time(file);
    writeFile(file, jpegOf(solid(500, 300, kGreen)));
    fs::last_write_time(file, blueAt);
    const Answer green = onlyAnswer(*cache, file);
    EXPECT_TRUE(near(colourAt(green.picture, 0.5, 0.5), kGreen));
    EXPECT_EQ(green.picture->pixels().height(), std::lround(300 * 256 / 500.0));
}

TEST_F(ThumbnailCacheTest, AFileThatCannotBeReadFailsOnceUntilItChanges) {
    const Bytes good = jpegOf(quadrants(320, 240));
    Bytes broken = good;
    broken[0] = 0;  // no longer a JPEG, and just as long
    const fs::path file = photo("broken.jpg", broken);
    const auto cache = makeCache();
    EXPECT_EQ(onlyAnswer(*cache, file).kind, Kind::Failed);

    const fs::path entry = cache->failPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(entry);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(walk.texts.at("Thumb::URI"), ThumbnailCache::uriFor(file));
    EXPECT_EQ(walk.texts.at("Thumb::MTime"), mtimeOf(file));
    EXPECT_EQ(modeOf(entry), 0600u);
    EXPECT_FALSE(fs::exists(cache->thumbnailPathFor(file)));

    // Mended behind our back, under the same time and size: the entry still stands.
    const auto failedAt = fs::last_write_time(file);
    writeFile(file, good);
    fs::last_write_time(file, failedAt);
    EXPECT_EQ(onlyAnswer(*cache, file).kind, Kind::Failed);
    EXPECT_FALSE(fs::exists(cache->thumbnailPathFor(file)));

    fs::last_write_time(file, failedAt + std::chrono::seconds(5));
    const Answer mended = onlyAnswer(*cache, file);
    ASSERT_EQ(mended.kind, Kind::Final);
    expectQuadrants(mended.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, EveryKindOfUnreadableFileFails) {
    Bytes truncated = jpegOf(quadrants(320, 240));
    truncated.resize(truncated.size() / 2);
    const fs::path huge = photos_ / "huge.jpg";
    writeFile(huge, {0xFF, 0xD8, 0xFF});
    fs::resize_file(huge, 201u << 20);  // sparse: costs no disk, but too large to read
    const struct {
        fs::path file;
        bool remembered;  // a fail entry records it
    } cases[] = {
        {photo("truncated.jpg", truncated), true},
        {photo("empty.png", {}), true},
        {huge, true},
        {photos_ / "missing.jpg", false},
        {photos_, false},
    };
    const auto cache = makeCache();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Answer answer = onlyAnswer(*cache, c.file);
        EXPECT_EQ(answer.kind, Kind::Failed);
        EXPECT_FALSE(answer.picture);
        EXPECT_EQ(fs::exists(cache->failPathFor(c.file)), c.remembered);
    }
}

TEST_F(ThumbnailCacheTest, TheExifThumbnailAnswersFirstWhileTheRealOneIsMade) {
    // The embedded picture is stored as the photo is, darker so that it can be told apart.
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
    ASSERT_EQ(answers[1].kind, Kind::Final);
    EXPECT_EQ(answers[1].picture->pixels().height(), 256);
    expectQuadrants(answers[1].picture, {kBlue, kRed, kWhite, kGreen});

    // Once made, the thumbnail on record is the whole answer.
    const std::vector<Answer> again = thumbnailsOf(*cache, {file});
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].kind, Kind::Final);

    // A photo whose picture is damaged past its EXIF block still shows the camera's thumbnail.
    Bytes damaged = tagged;
    damaged.resize(tagged.size() - plain.size() / 2);
    const fs::path broken = photo("damaged.jpg", damaged);
    const std::vector<Answer> partial = thumbnailsOf(*cache, {broken});
    ASSERT_EQ(partial.size(), 2u);
    EXPECT_EQ(partial[0].kind, Kind::Provisional);
    EXPECT_EQ(partial[1].kind, Kind::Failed);
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
    EXPECT_TRUE(fs::exists(root_ / "normal" / cache->thumbnailPathFor(png).filename()));

    const Answer kept = onlyAnswer(*cache, small);
    EXPECT_EQ(test_pictures::dimensions(kept.picture->pixels()), std::pair(100, 60));
    expectQuadrants(kept.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, ALaterRequestReplacesWhatIsStillPending) {
    std::vector<fs::path> first;
    for (int i = 0; i < 8; ++i)
        first.push_back(photo("p" + std::to_string(i) + ".jpg", jpegOf(quadrants(1600, 1200))));
    const auto cache = makeCache();
    answers_.clear();
    cache->request(first);
    cache->request({first[7], first[2], first[7]});
    loop_.runFor(0.001);

    std::map<fs::path, int> finals;
    for (const Answer& a : answers_) finals[a.file] += a.kind == Kind::Final;
    EXPECT_EQ(finals[first[7]], 1);
    EXPECT_EQ(finals[first[2]], 1);
    // Only what the two workers had already started may finish besides.
    EXPECT_LE(answers_.size(), 4u);
    EXPECT_EQ(answers_.size(), finals.size());
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
}

TEST_F(ThumbnailCacheTest, NoAnswerArrivesOnceTheCacheIsGone) {
    std::vector<fs::path> files;
    for (int i = 0; i < 6; ++i)
        files.push_back(photo("p" + std::to_string(i) + ".jpg", jpegOf(quadrants(800, 600))));
    {
        const auto cache = makeCache();
        cache->request(files);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // some answers are posted
    }
    loop_.runFor(0.001);
    EXPECT_TRUE(answers_.empty());
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);

    // Nor once a handler has ended it itself.
    auto cache = makeCache();
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

}  // namespace
