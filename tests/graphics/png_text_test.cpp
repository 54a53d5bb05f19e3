#include "platform/graphics/png_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/graphics/png_codec.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using namespace platform::graphics;
using Bytes = std::vector<std::uint8_t>;

class PngTextTest : public testing::Test {
  protected:
    fs::path write(const std::string& name, const Bytes& bytes) {
        return files_.write(name, bytes);
    }
    Bytes picture_ = encodePng(*test_pictures::gradient(37, 23)).value();
    independent_tools::ScratchFiles files_{"png-text"};
};

TEST_F(PngTextTest, ChunksFollowTheHeaderAndAnotherReaderSeesThem) {
    const PngTexts texts = {{"Thumb::URI", "file:///home/a%20b/photo.jpg"},
                            {"Thumb::MTime", "1700000000"},
                            {"Software", "Orvex \xE9t\xE9"},  // Latin-1, as tEXt is
                            {"Empty", ""}};
    const Bytes tagged = withPngText(picture_, texts);

    const independent_tools::PngWalk walk = independent_tools::walkPng(write("tagged.png", tagged));
    ASSERT_TRUE(walk.ok) << walk.error;
    ASSERT_GE(walk.chunks.size(), 6u);
    EXPECT_EQ(walk.chunks[0], "IHDR");
    for (std::size_t i = 1; i <= texts.size(); ++i) EXPECT_EQ(walk.chunks[i], "tEXt") << i;
    EXPECT_EQ(walk.chunks.back(), "IEND");
    for (const auto& [key, text] : texts) EXPECT_EQ(walk.texts.at(key), text) << key;
    // The picture itself is untouched: same size, all its rows still inflate.
    EXPECT_EQ(walk.width, 37);
    EXPECT_EQ(walk.height, 23);
    EXPECT_EQ(walk.inflatedBytes,
              independent_tools::walkPng(write("plain.png", picture_)).inflatedBytes);
    EXPECT_TRUE(decodePng(tagged));

    const auto read = readPngText(tagged);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, (std::map<std::string, std::string>(texts.begin(), texts.end())));
}

TEST_F(PngTextTest, ReadsTextAnotherWriterPutAnywhereBeforeTheEnd) {
    // Text after the image data and a compressed chunk we do not read, written with zlib alone.
    reference_png::Picture picture = reference_png::makePicture({}, 3, 2, 1);
    auto png = reference_png::file(picture);
    std::vector<std::uint8_t> before, after;
    const auto text = [](std::vector<std::uint8_t>& out, const char* type, std::string body) {
        reference_png::putChunk(out, type, {body.begin(), body.end()});
    };
    text(before, "tEXt", std::string("Thumb::URI\0file:///x.jpg", 24));
    text(after, "zTXt", std::string("Comment\0\0", 9) + "not inflated");
    text(after, "tEXt",
         std::string("Thumb::MTime\0"
                     "123",
                     16));
    png.insert(png.end() - 12, after.begin(), after.end());  // before the end chunk
    png.insert(png.begin() + 33, before.begin(), before.end());
    const auto texts = readPngText(png);
    ASSERT_TRUE(texts);
    EXPECT_EQ(*texts, (std::map<std::string, std::string>{{"Thumb::URI", "file:///x.jpg"},
                                                          {"Thumb::MTime", "123"}}));
}

TEST_F(PngTextTest, DamagedFilesReadAsNothingWithoutCrashing) {
    const Bytes tagged = withPngText(picture_, {{"Thumb::MTime", "1700000000"}});
    for (std::size_t length = 0; length < tagged.size(); ++length)
        EXPECT_FALSE(readPngText(std::span(tagged).first(length))) << "cut at " << length;

    // A text chunk starts right after the 8-byte signature and the 25-byte header chunk.
    constexpr std::size_t kText = 33;
    Bytes flipped = tagged;
    flipped[kText + 8 + 3] ^= 0x20;  // inside the keyword: the checksum no longer matches
    EXPECT_FALSE(readPngText(flipped));

    for (const std::uint8_t lengthByte : {0x7F, 0xFF}) {
        Bytes overlong = tagged;
        overlong[kText] = lengthByte;  // a length reaching far past the end of the file
        EXPECT_FALSE(readPngText(overlong));
    }
    Bytes notPng = tagged;
    notPng[1] = 'Q';
    EXPECT_FALSE(readPngText(notPng));
    EXPECT_TRUE(readPngText(tagged));
}

TEST_F(PngTextTest, RefusesWhatCannotBeWritten) {
    EXPECT_THROW(withPngText(picture_, {{"", "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{std::string(80, 'k'), "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{std::string("a\0b", 3), "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(picture_, {{"Key", std::string("a\0b", 3)}}), std::invalid_argument);
    EXPECT_NO_THROW(withPngText(picture_, {{std::string(79, 'k'), "text"}}));
    const Bytes jpegLike = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
    EXPECT_THROW(withPngText(jpegLike, {{"Key", "text"}}), std::invalid_argument);
    EXPECT_THROW(withPngText(std::span(picture_).first(20), {{"Key", "text"}}),
                 std::invalid_argument);
}

}  // namespace
