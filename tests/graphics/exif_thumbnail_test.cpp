#include "platform/graphics/exif_thumbnail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/jpeg_codec.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;

Bytes jpegOf(const PixelBuffer& pixels, int quality) {
    EncodeResult encoded = encodeJpeg(pixels, quality);
    EXPECT_TRUE(encoded) << encoded.error();
    return encoded ? encoded.value() : Bytes{};
}

class ExifThumbnailTest : public testing::Test {
  protected:
    fs::path write(const std::string& name, const Bytes& bytes) {
        return files_.write(name, bytes);
    }
    static Bytes read(const fs::path& path) { return independent_tools::ScratchFiles::read(path); }
    static void requireExiftool() {
        ASSERT_TRUE(independent_tools::available("exiftool"))
            << "exiftool is missing: run scripts/install-deps";
    }

    Bytes photo_ = jpegOf(*test_pictures::gradient(400, 300), 90);
    Bytes thumbnail_ = jpegOf(*test_pictures::gradient(160, 120), 80);
    independent_tools::ScratchFiles files_{"exif-thumbnail"};
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

TEST_F(ExifThumbnailTest, ExiftoolFindsTheThumbnailAndOrientationWeWrite) {
    requireExiftool();
    const fs::path path =
        write("tagged.jpg", withExifThumbnail(photo_, thumbnail_, ImageOrientation::Right));
    const auto extracted = independent_tools::run("exiftool -b -ThumbnailImage " +
                                                  independent_tools::quoted(path.string()));
    EXPECT_EQ(Bytes(extracted.output.begin(), extracted.output.end()), thumbnail_);
    const auto tags = independent_tools::run(
        "exiftool -s -n -Orientation -Compression -ThumbnailLength -validate -warning " +
        independent_tools::quoted(path.string()));
    EXPECT_NE(tags.output.find("Orientation                     : 6"), std::string::npos)
        << tags.output;
    EXPECT_NE(tags.output.find("Compression                     : 6"), std::string::npos)
        << tags.output;
    EXPECT_NE(
        tags.output.find("ThumbnailLength                 : " + std::to_string(thumbnail_.size())),
        std::string::npos)
        << tags.output;
    EXPECT_EQ(tags.output.find("Warning"), std::string::npos) << tags.output;
}

TEST_F(ExifThumbnailTest, ReadsTheThumbnailExiftoolStores) {
    requireExiftool();
    const fs::path photo = write("photo.jpg", withExifOrientation(photo_, 3));
    const fs::path thumbnail = write("thumbnail.jpg", thumbnail_);
    const auto stored =
        independent_tools::run("exiftool -q -overwrite_original " +
                               independent_tools::quoted("-ThumbnailImage<=" + thumbnail.string()) +
                               " " + independent_tools::quoted(photo.string()));
    ASSERT_EQ(stored.status, 0) << stored.output;
    const Bytes tagged = read(photo);
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
    PixelBuffer noise(320, 320, PixelBuffer::Format::Rgb24);
    std::mt19937 random(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, 0xFF000000u | random());
    const Bytes large = jpegOf(noise, 100);
    ASSERT_GT(large.size(), kMaxExifThumbnailBytes);

    const Bytes tagged = withExifThumbnail(photo_, large, ImageOrientation::Left);
    EXPECT_FALSE(readExifThumbnail(tagged));
    EXPECT_EQ(readExifOrientation(tagged), ImageOrientation::Left);
    EXPECT_TRUE(decodeJpeg(tagged));
}

}  // namespace
