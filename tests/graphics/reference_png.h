#pragma once

// PNG files written from first principles with nothing but zlib, and the pixels any decoder
// must make of them: the reference that our decoder is compared with. Shares no code with
// the codec under test.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace reference_png {

enum ColorType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgbAlpha = 6 };

struct Kind {
    int colorType = kRgb;
    int bitDepth = 8;
    bool interlaced = false;
    bool transparency = false;  // a tRNS chunk: a colour key, or palette alpha
};

inline int channelsOf(int colorType) {
    return colorType == kRgb ? 3 : colorType == kGreyAlpha ? 2 : colorType == kRgbAlpha ? 4 : 1;
}

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
    std::vector<std::uint8_t> palette;       // RGB triples
    std::vector<std::uint8_t> paletteAlpha;  // tRNS of a palette picture
    std::uint16_t key[3] = {0, 0, 0};        // tRNS colour key of grey / RGB pictures

    int channels() const { return channelsOf(kind.colorType); }
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
    std::uint32_t state = seed * 2654435761u + 1;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    p.samples.resize(static_cast<std::size_t>(width) * height * channels);
    for (auto& s : p.samples) s = static_cast<std::uint16_t>(next() % top);
    if (kind.colorType == kPalette) {
        for (std::uint32_t i = 0; i < top; ++i)
            for (int c = 0; c < 3; ++c) p.palette.push_back(static_cast<std::uint8_t>(next()));
        if (kind.transparency)
            for (std::uint32_t i = 0; i < top / 2; ++i)
                p.paletteAlpha.push_back(static_cast<std::uint8_t>(next()));
    } else if (kind.transparency) {
        for (int c = 0; c < channels; ++c) p.key[c] = p.sample(1, 0, c);
        for (int c = 0; c < channels; ++c)
            p.samples[(static_cast<std::size_t>(height - 1) * width) * channels + c] = p.key[c];
    }
    return p;
}

// What a decoder shows in cairo's layout: premultiplied 0xAARRGGBB, opaque where the file
// has no alpha. 16-bit samples are scaled to 8 bits with rounding, smaller ones stretched.
inline bool hasAlpha(const Picture& p) {
    return p.kind.colorType == kGreyAlpha || p.kind.colorType == kRgbAlpha || p.kind.transparency;
}

inline std::uint32_t expectedPixel(const Picture& p, int x, int y) {
    const int depth = p.kind.bitDepth;
    auto to8 = [depth](std::uint32_t v) {
        const double max = (1u << depth) - 1;
        return static_cast<std::uint32_t>(std::lround(v * 255.0 / max));
    };
    std::uint32_t r, g, b, a = 255;
    switch (p.kind.colorType) {
        case kPalette: {
            const std::uint16_t i = p.sample(x, y, 0);
            r = p.palette[3 * i];
            g = p.palette[3 * i + 1];
            b = p.palette[3 * i + 2];
            if (i < p.paletteAlpha.size()) a = p.paletteAlpha[i];
            break;
        }
        case kGrey:
        case kGreyAlpha:
            r = g = b = to8(p.sample(x, y, 0));
            if (p.kind.colorType == kGreyAlpha) a = to8(p.sample(x, y, 1));
            if (p.kind.transparency && p.sample(x, y, 0) == p.key[0]) a = 0;
            break;
        default:
            r = to8(p.sample(x, y, 0));
            g = to8(p.sample(x, y, 1));
            b = to8(p.sample(x, y, 2));
            if (p.kind.colorType == kRgbAlpha) a = to8(p.sample(x, y, 3));
            if (p.kind.transparency && p.sample(x, y, 0) == p.key[0] &&
                p.sample(x, y, 1) == p.key[1] && p.sample(x, y, 2) == p.key[2])
                a = 0;
    }
    auto premultiplied = [a](std::uint32_t c) {
        return static_cast<std::uint32_t>(std::lround(c * a / 255.0));
    };
    return a << 24 | premultiplied(r) << 16 | premultiplied(g) << 8 | premultiplied(b);
}

inline void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void putChunk(std::vector<std::uint8_t>& out, const char* type,
                     const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, static_cast<std::uint32_t>(crc32(0, out.data() + typeAt, 4 + data.size())));
}

inline std::uint8_t paethPredictor(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// One sub-image's scanlines (the whole picture, or one interlace pass), each filtered with
// the type `filterOf(row)` chooses.
template <class FilterOf>
void appendScanlines(const Picture& p, int x0, int y0, int dx, int dy, FilterOf filterOf, int& row,
                     std::vector<std::uint8_t>& out) {
    const int width = (p.width - x0 + dx - 1) / dx;
    const int height = (p.height - y0 + dy - 1) / dy;
    if (width <= 0 || height <= 0) return;
    const int depth = p.kind.bitDepth;
    const int bitsPerPixel = p.channels() * depth;
    const std::size_t lineBytes = (static_cast<std::size_t>(width) * bitsPerPixel + 7) / 8;
    const int bpp = std::max(1, bitsPerPixel / 8);
    std::vector<std::uint8_t> previous(lineBytes, 0), line(lineBytes);
    for (int j = 0; j < height; ++j, ++row) {
        std::fill(line.begin(), line.end(), 0);
        std::size_t bit = 0;
        for (int i = 0; i < width; ++i)
            for (int c = 0; c < p.channels(); ++c) {
                const std::uint16_t v = p.sample(x0 + i * dx, y0 + j * dy, c);
                if (depth == 16) {
                    line[bit / 8] = static_cast<std::uint8_t>(v >> 8);
                    line[bit / 8 + 1] = static_cast<std::uint8_t>(v);
                } else {
                    line[bit / 8] |= static_cast<std::uint8_t>(v << (8 - depth - bit % 8));
                }
                bit += depth;
            }
        const int filter = filterOf(row);
        out.push_back(static_cast<std::uint8_t>(filter));
        for (std::size_t k = 0; k < lineBytes; ++k) {
            const int a = k >= static_cast<std::size_t>(bpp) ? line[k - bpp] : 0;
            const int b = previous[k];
            const int c = k >= static_cast<std::size_t>(bpp) ? previous[k - bpp] : 0;
            const int predictor = filter == 1   ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paethPredictor(a, b, c)
                                                : 0;
            out.push_back(static_cast<std::uint8_t>(line[k] - predictor));
        }
        previous = line;
    }
}

// The filtered scanlines, before compression.
template <class FilterOf>
std::vector<std::uint8_t> scanlines(const Picture& p, FilterOf filterOf) {
    std::vector<std::uint8_t> raw;
    int row = 0;
    if (!p.kind.interlaced) {
        appendScanlines(p, 0, 0, 1, 1, filterOf, row, raw);
        return raw;
    }
    const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& pass : passes)
        appendScanlines(p, pass[0], pass[1], pass[2], pass[3], filterOf, row, raw);
    return raw;
}

inline std::vector<std::uint8_t> compress(const std::vector<std::uint8_t>& raw) {
    uLongf size = compressBound(raw.size());
    std::vector<std::uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), 6);
    out.resize(size);
    return out;
}

// The whole file, its image data in chunks of at most `idatSize` bytes.
inline std::vector<std::uint8_t> fileWith(const Picture& p, const std::vector<std::uint8_t>& zlib,
                                          std::size_t idatSize = 1u << 20) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(p.width));
    putBigEndian(header, static_cast<std::uint32_t>(p.height));
    header.insert(header.end(), {static_cast<std::uint8_t>(p.kind.bitDepth),
                                 static_cast<std::uint8_t>(p.kind.colorType), 0, 0,
                                 static_cast<std::uint8_t>(p.kind.interlaced ? 1 : 0)});
    putChunk(png, "IHDR", header);
    if (p.kind.colorType == kPalette) putChunk(png, "PLTE", p.palette);
    if (p.kind.transparency) {
        std::vector<std::uint8_t> trns = p.paletteAlpha;
        if (p.kind.colorType != kPalette)
            for (int c = 0; c < p.channels(); ++c) {
                trns.push_back(static_cast<std::uint8_t>(p.key[c] >> 8));
                trns.push_back(static_cast<std::uint8_t>(p.key[c]));
            }
        putChunk(png, "tRNS", trns);
    }
    for (std::size_t at = 0; at < zlib.size(); at += idatSize)
        putChunk(png, "IDAT",
                 std::vector<std::uint8_t>(zlib.begin() + static_cast<std::ptrdiff_t>(at),
                                           zlib.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                              zlib.size(), at + idatSize))));
    putChunk(png, "IEND", {});
    return png;
}

// Every filter type in turn, so each is exercised in every kind of file.
inline std::vector<std::uint8_t> file(const Picture& p) {
    return fileWith(p, compress(scanlines(p, [](int row) { return row % 5; })));
}

// Every kind of PNG: each colour type at each of its bit depths, plain and interlaced, and
// with transparency where the colour type allows a tRNS chunk.
inline std::vector<Kind> everyKind() {
    const std::vector<std::pair<int, std::vector<int>>> depths = {{kGrey, {1, 2, 4, 8, 16}},
                                                                  {kRgb, {8, 16}},
                                                                  {kPalette, {1, 2, 4, 8}},
                                                                  {kGreyAlpha, {8, 16}},
                                                                  {kRgbAlpha, {8, 16}}};
    std::vector<Kind> kinds;
    for (const auto& [colorType, bitDepths] : depths)
        for (int depth : bitDepths)
            for (bool interlaced : {false, true})
                for (bool transparency : {false, true}) {
                    if (transparency && (colorType == kGreyAlpha || colorType == kRgbAlpha))
                        continue;
                    kinds.push_back({colorType, depth, interlaced, transparency});
                }
    return kinds;
}

}  // namespace reference_png
