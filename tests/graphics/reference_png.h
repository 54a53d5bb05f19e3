#pragma once

// PNG files as libpng writes them, and the pixels any decoder must make of them, worked out
// from the stored samples alone: the reference that our decoder is compared with. Shares no
// code with the codec under test.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/graphics/codec_result.h"

namespace reference_png {

using Bytes = std::vector<std::uint8_t>;

enum ColorType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgbAlpha = 6 };

struct Kind {
    int colorType = kRgb;
    int bitDepth = 8;
    bool interlaced = false;
    bool transparency = false;  // a tRNS chunk: a colour key, or palette alpha
};

inline std::string describe(const Kind& k) {
    return "colour type " + std::to_string(k.colorType) + ", " + std::to_string(k.bitDepth) +
           " bits" + (k.interlaced ? ", interlaced" : "") + (k.transparency ? ", tRNS" : "");
}

// Stored samples, one per channel (a palette index for palette pictures), row by row.
struct Picture {
    Kind kind;
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> samples;
    Bytes palette;                     // RGB triples
    Bytes paletteAlpha;                // tRNS of a palette picture
    std::uint16_t key[3] = {0, 0, 0};  // tRNS colour key of grey / RGB pictures

    int channels() const {
        const int t = kind.colorType;
        return t == kRgb ? 3 : t == kGreyAlpha ? 2 : t == kRgbAlpha ? 4 : 1;
    }
    std::uint16_t sample(int x, int y, int c) const {
        return samples[(static_cast<std::size_t>(y) * width + x) * channels() + c];
    }
};

// Samples that differ from pixel to pixel and use the whole range, and every colour key
// present at a few pixels.
inline Picture makePicture(const Kind& kind, int width, int height, std::uint32_t seed) {
    Picture p{kind, width, height, {}, {}, {}, {}};
    const int channels = p.channels();
    const std::uint32_t top =
        kind.colorType == kPalette ? std::min(1u << kind.bitDepth, 200u) : (1u << kind.bitDepth);
    std::mt19937 next(seed);
    p.samples.resize(static_cast<std::size_t>(width) * height * channels);
    for (auto& s : p.samples) s = static_cast<std::uint16_t>(next() % top);
    if (kind.colorType == kPalette) {
        for (std::uint32_t i = 0; i < 3 * top; ++i) p.palette.push_back(next() & 0xFF);
        if (kind.transparency)
            for (std::uint32_t i = 0; i < top / 2; ++i) p.paletteAlpha.push_back(next() & 0xFF);
    } else if (kind.transparency) {
        for (int c = 0; c < channels; ++c) p.key[c] = p.sample(1, 0, c);
        std::copy_n(p.key, channels, p.samples.end() - width * channels);
    }
    return p;
}

// What a decoder shows in cairo's layout: premultiplied 0xAARRGGBB, opaque where the file
// has no alpha. 16-bit samples are scaled to 8 bits with rounding, smaller ones stretched.
inline std::uint32_t expectedPixel(const Picture& p, int x, int y) {
    const int type = p.kind.colorType;
    const std::uint16_t index = p.sample(x, y, 0);
    auto to8 = [&](int c) {
        return static_cast<std::uint32_t>(
            std::lround(p.sample(x, y, c) * 255.0 / ((1 << p.kind.bitDepth) - 1)));
    };
    std::uint32_t rgb[3], a = type == kGreyAlpha || type == kRgbAlpha ? to8(p.channels() - 1) : 255;
    bool keyed = p.kind.transparency && type != kPalette;
    for (int c = 0; c < 3; ++c) {
        const int from = type == kRgb || type == kRgbAlpha ? c : 0;
        rgb[c] = type == kPalette ? p.palette[3 * index + c] : to8(from);
        keyed = keyed && p.sample(x, y, from) == p.key[from];
    }
    if (keyed) a = 0;
    if (type == kPalette && index < p.paletteAlpha.size()) a = p.paletteAlpha[index];
    std::uint32_t pixel = a << 24;
    for (int c = 0; c < 3; ++c)
        pixel |= static_cast<std::uint32_t>(std::lround(rgb[c] * a / 255.0)) << (16 - 8 * c);
    return pixel;
}

// A decoder's picture against the reference's pixels.
inline void expectDecodedAs(const Picture& p, const platform::graphics::DecodeResult& decoded) {
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    const auto& pixels = decoded.value()->pixels();
    ASSERT_EQ(pixels.width(), p.width);
    ASSERT_EQ(pixels.height(), p.height);
    EXPECT_EQ(
        pixels.format() == platform::graphics::PixelBuffer::Format::Argb32,
        p.kind.colorType == kGreyAlpha || p.kind.colorType == kRgbAlpha || p.kind.transparency);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            ASSERT_EQ(pixels.pixel(x, y), expectedPixel(p, x, y)) << "at " << x << "," << y;
}

inline void appendTo(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

// The file libpng writes, each row's filter `filterOf(row)` (0 None to 4 Paeth, rows counted
// through the interlace passes; libpng picks the first row's), its image data in chunks of
// at most `idatSize` bytes.
inline Bytes file(
    const Picture& p, const std::function<int(int)>& filterOf = [](int row) { return row % 5; },
    std::size_t idatSize = 8192) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendTo, nullptr);
    png_set_IHDR(png, info, p.width, p.height, p.kind.bitDepth, p.kind.colorType,
                 p.kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (p.kind.colorType == kPalette)
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(p.palette.data()),
                     static_cast<int>(p.palette.size() / 3));
    png_color_16 key{0, p.key[0], p.key[1], p.key[2], p.key[0]};
    if (p.kind.transparency)
        png_set_tRNS(png, info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()),
                     &key);
    png_set_compression_buffer_size(png, idatSize);
    png_set_filter(png, 0, PNG_ALL_FILTERS);
    png_write_info(png, info);
    png_set_packing(png);                          // below 8 bits, one sample a byte in
    if (p.kind.bitDepth == 16) png_set_swap(png);  // 16-bit samples as they lie in memory
    const std::size_t perRow = static_cast<std::size_t>(p.width) * p.channels();
    Bytes row(perRow);
    int rows = 0;
    for (int pass = png_set_interlace_handling(png); pass > 0; --pass)
        for (int y = 0; y < p.height; ++y, ++rows) {
            const std::uint16_t* samples = &p.samples[y * perRow];
            std::copy_n(samples, perRow, row.begin());
            // Row buffers for every filter are made at the first row.
            png_set_filter(png, 0, rows == 0 ? PNG_ALL_FILTERS : PNG_FILTER_NONE << filterOf(rows));
            png_write_row(png, p.kind.bitDepth == 16 ? reinterpret_cast<png_const_bytep>(samples)
                                                     : row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

inline void putChunk(Bytes& out, const char* type, const Bytes& data) {
    const std::size_t typeAt = out.size();
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const auto crc = static_cast<std::uint32_t>(crc32(0, out.data() + typeAt + 4, 4 + data.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(crc >> shift));
}

struct Chunk {
    std::string type;
    Bytes data;
};

// A file's chunks in order, as far as their lengths fit the file (checksums unread).
inline std::vector<Chunk> chunksOf(const Bytes& file) {
    std::vector<Chunk> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t length =
            std::size_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        if (length > file.size() - at - 12) break;
        const auto data = file.begin() + at + 8;
        chunks.push_back({std::string(data - 4, data), Bytes(data, data + length)});
        at += 12 + length;
    }
    return chunks;
}

// The file's image data as zlib inflates it: nothing where zlib refuses it.
inline Bytes inflated(const Bytes& file) {
    Bytes zlib, out(4u << 20);
    for (const Chunk& chunk : chunksOf(file))
        if (chunk.type == "IDAT") zlib.insert(zlib.end(), chunk.data.begin(), chunk.data.end());
    uLongf size = out.size();
    out.resize(uncompress(out.data(), &size, zlib.data(), zlib.size()) == Z_OK ? size : 0);
    return out;
}

// The file with its image data replaced by `rows` compressed anew, the zlib stream's Adler-32
// made wrong and in a chunk of its own if asked, and every chunk's checksum right.
inline Bytes withRows(const Bytes& file, const Bytes& rows, bool wrongAdler = false,
                      bool adlerApart = false) {
    uLongf size = compressBound(rows.size());
    Bytes zlib(size), out(file.begin(), file.begin() + 8);
    compress(zlib.data(), &size, rows.data(), rows.size());
    zlib.resize(size);
    zlib.back() ^= wrongAdler ? 1 : 0;
    const auto split = zlib.end() - (adlerApart ? 4 : 0);
    for (const Chunk& chunk : chunksOf(file)) {
        if (chunk.type == "IEND") putChunk(out, "IDAT", Bytes(zlib.begin(), split));
        if (chunk.type == "IEND" && adlerApart) putChunk(out, "IDAT", Bytes(split, zlib.end()));
        if (chunk.type != "IDAT") putChunk(out, chunk.type.c_str(), chunk.data);
    }
    return out;
}

// Every kind of PNG: each colour type at each of its bit depths, plain and interlaced, and
// with transparency where the colour type allows a tRNS chunk.
inline std::vector<Kind> everyKind() {
    std::vector<Kind> kinds;
    for (int type : {kGrey, kRgb, kPalette, kGreyAlpha, kRgbAlpha})
        for (int depth : {1, 2, 4, 8, 16})
            for (bool interlaced : {false, true})
                for (bool transparency : {false, true})
                    if ((type == kGrey || (type == kPalette ? depth <= 8 : depth >= 8)) &&
                        !(transparency && (type == kGreyAlpha || type == kRgbAlpha)))
                        kinds.push_back({type, depth, interlaced, transparency});
    return kinds;
}

}  // namespace reference_png
