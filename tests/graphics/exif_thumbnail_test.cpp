#include "platform/graphics/exif_thumbnail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;

class ExifThumbnailTest : public testing::Test {
  protected:
    Bytes photo_ = test_pictures::jpegOf(*test_pictures::gradient(400, 300), 90);
    Bytes thumbnail_ = test_pictures::jpegOf(*test_pictures::gradient(160, 120), 80);
};

TEST_F(ExifThumbnailTest, RoundTripsWithTheOrientationAndLeavesThePhotoIntact) {
    for (const ImageOrientation orientation :
         {ImageOrientation::Up, ImageOrientation::Right, ImageOrientation::LeftMirrored}) {
        SCOPED_TRACE(static_cast<int>(orientation));
        const Bytes tagged = withExifThumbnail(photo_, thumbnail_, orientation);
        EXPECT_EQ(readExifThumbnail(tagged), thumbnail_);
        const DecodeResult decoded = decodeJpeg(tagged);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded.value()->imageOrientation(), orientation);
        EXPECT_EQ(decoded.value()->pixels().width(), 400);
    }
}

TEST_F(ExifThumbnailTest, ReadsTheThumbnailExiftoolStores) {
    ASSERT_TRUE(independent_tools::available("exiftool"))
        << "exiftool is missing: run scripts/install-deps";
    const independent_tools::ScratchFiles files("exif-thumbnail");
    const fs::path photo = files.write("photo.jpg", withExifOrientation(photo_, 3));
    const fs::path thumbnail = files.write("thumbnail.jpg", thumbnail_);
    const auto stored =
        independent_tools::run("exiftool -q -overwrite_original " +
                               independent_tools::quoted("-ThumbnailImage<=" + thumbnail.string()) +
                               " " + independent_tools::quoted(photo.string()));
    ASSERT_EQ(stored.status, 0) << stored.output;
    const Bytes tagged = independent_tools::ScratchFiles::read(photo);
    EXPECT_EQ(readExifThumbnail(tagged), thumbnail_);
    EXPECT_EQ(readExifOrientation(tagged), ImageOrientation::Down);
}

TEST_F(ExifThumbnailTest, PhotosWithoutOneOrDamagedOnesHaveNone) {
    EXPECT_FALSE(readExifThumbnail(photo_));
    EXPECT_FALSE(readExifThumbnail(withExifOrientation(photo_, 6)));
    EXPECT_FALSE(readExifThumbnail({}));
    EXPECT_FALSE(readExifThumbnail(Bytes(5000, 0xFF)));

    // Cut anywhere, the photo yields the whole thumbnail or none: never a part of it.
    const Bytes tagged = withExifThumbnail(photo_, thumbnail_, ImageOrientation::Up);
    for (std::size_t length = 0; length < thumbnail_.size() + 400; length += 7) {
        const auto found = readExifThumbnail(std::span(tagged).first(length));
        if (found) {
            EXPECT_EQ(*found, thumbnail_) << "cut at " << length;
        }
    }
}

TEST_F(ExifThumbnailTest, AThumbnailTooLargeForTheBlockIsLeftOut) {
    std::mt19937 random(3);
    const Bytes large = test_pictures::jpegOf(
        *test_pictures::pixelsOf(320, 320, [&](int, int) { return 0xFF000000u | random(); }), 100);
    ASSERT_GT(large.size(), kMaxExifThumbnailBytes);

    const Bytes tagged = withExifThumbnail(photo_, large, ImageOrientation::Left);
    EXPECT_FALSE(readExifThumbnail(tagged));
    EXPECT_EQ(readExifOrientation(tagged), ImageOrientation::Left);
    EXPECT_TRUE(decodeJpeg(tagged));
}

}  // namespace
