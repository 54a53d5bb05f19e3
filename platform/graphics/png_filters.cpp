#include "platform/graphics/png_filters.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORVEX_PNG_SSSE3 1
#endif

namespace platform::graphics::png {

namespace {

// Pixels are handled as four byte lanes in cairo's order (blue, green, red, alpha); every
// filter works on each byte alone, so a lane never carries into the next.
using Lanes = std::uint32_t;

template <int channels>
Lanes loadLanes(const std::uint8_t* p) {
    const Lanes alpha = channels == 4 ? p[3] : 0u;
    return Lanes{p[2]} | Lanes{p[1]} << 8 | Lanes{p[0]} << 16 | alpha << 24;
}

template <int channels>
void storeBytes(Lanes v, std::uint8_t* p) {
    p[0] = static_cast<std::uint8_t>(v >> 16);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v);
    if constexpr (channels == 4) p[3] = static_cast<std::uint8_t>(v >> 24);
}

Lanes addBytes(Lanes x, Lanes y) {
    return ((x & 0x7F7F7F7Fu) + (y & 0x7F7F7F7Fu)) ^ ((x ^ y) & 0x80808080u);
}

Lanes subtractBytes(Lanes x, Lanes y) {
    return ((x | 0x80808080u) - (y & 0x7F7F7F7Fu)) ^ ((x ^ ~y) & 0x80808080u);
}

Lanes averageBytes(Lanes x, Lanes y) {
    return (x & y) + (((x ^ y) & 0xFEFEFEFEu) >> 1);
}

Lanes paethBytes(Lanes left, Lanes up, Lanes upLeft) {
    Lanes result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = (left >> shift) & 0xFF, b = (up >> shift) & 0xFF,
                  c = (upLeft >> shift) & 0xFF;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        result |= static_cast<Lanes>(predictor) << shift;
    }
    return result;
}

// The portable reconstruction of pixels [from, width) of a row, given the pixel to their left.
template <int channels, Filter filter>
void unfilterScalar(const std::uint8_t* raw, const Lanes* above, Lanes* out, int from, int width,
                    Lanes fill) {
    Lanes left = from > 0 ? out[from - 1] : 0;
    Lanes upLeft = from > 0 ? above[from - 1] : 0;
    for (int x = from; x < width; ++x) {
        const Lanes delta = loadLanes<channels>(raw + channels * x);
        const Lanes up = above[x];
        Lanes v = delta;
        if constexpr (filter == kSub) v = addBytes(delta, left);
        if constexpr (filter == kUp) v = addBytes(delta, up);
        if constexpr (filter == kAverage) v = addBytes(delta, averageBytes(left, up));
        if constexpr (filter == kPaeth) v = addBytes(delta, paethBytes(left, up, upLeft));
        v |= fill;
        out[x] = v;
        left = v;
        upLeft = up;
    }
}

#ifdef ORVEX_PNG_SSSE3

// Four pixels of the file's bytes into cairo's lane order; a missing alpha becomes 0.
template <int channels>
__attribute__((target("ssse3"))) __m128i fileToLanesMask() {
    if constexpr (channels == 3)
        return _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    return _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
}

template <int channels>
__attribute__((target("ssse3"))) __m128i lanesToFileMask() {
    if constexpr (channels == 3)
        return _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    return _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
}

// None, Sub and Up four pixels at a time; Sub as a running sum across the lanes. The file's
// bytes are read 16 at a time, which may reach past the row (the caller allows for that).
template <int channels, Filter filter>
__attribute__((target("ssse3"))) void unfilterSsse3(const std::uint8_t* raw, const Lanes* above,
                                                    Lanes* out, int width, Lanes fill) {
    const __m128i mask = fileToLanesMask<channels>();
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(fill));
    __m128i carry = _mm_setzero_si128();
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        __m128i v = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + channels * x)), mask);
        if constexpr (filter == kSub) {
            v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
            v = _mm_add_epi8(v, carry);
            carry = _mm_shuffle_epi32(v, 0xFF);
        }
        if constexpr (filter == kUp)
            v = _mm_add_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x)));
        v = _mm_or_si128(v, opaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), v);
    }
    unfilterScalar<channels, filter>(raw, above, out, x, width, fill);
}

template <int channels>
__attribute__((target("ssse3"))) void filterSsse3(const Lanes* row, const Lanes* above,
                                                  Filter filter, int width, std::uint8_t* out) {
    const __m128i mask = lanesToFileMask<channels>();
    __m128i previous = _mm_setzero_si128();
    int x = 0;
    // Stores are 16 bytes wide: stop where one would reach past the row.
    for (; channels * x + 16 <= channels * width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        const __m128i predictor =
            filter == kSub ? _mm_alignr_epi8(v, previous, 12)
                           : _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x));
        previous = v;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + channels * x),
                         _mm_shuffle_epi8(_mm_sub_epi8(v, predictor), mask));
    }
    for (; x < width; ++x) {
        const Lanes predictor = filter == kSub ? (x > 0 ? row[x - 1] : 0) : above[x];
        storeBytes<channels>(subtractBytes(row[x], predictor), out + channels * x);
    }
}

bool hasSsse3() {
    // Asked once, and only after the CPU has been looked at: this may run before main().
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

#endif

template <int channels, Filter filter>
void unfilterRow(const std::uint8_t* raw, const Lanes* above, Lanes* out, int width, Lanes fill) {
#ifdef ORVEX_PNG_SSSE3
    if constexpr (filter == kNone || filter == kSub || filter == kUp) {
        if (hasSsse3()) return unfilterSsse3<channels, filter>(raw, above, out, width, fill);
    }
#endif
    unfilterScalar<channels, filter>(raw, above, out, 0, width, fill);
}

template <int channels>
void unfilterRow(std::uint8_t filter, const std::uint8_t* raw, const Lanes* above, Lanes* out,
                 int width, Lanes fill) {
    switch (filter) {
        case kSub:
            return unfilterRow<channels, kSub>(raw, above, out, width, fill);
        case kUp:
            return unfilterRow<channels, kUp>(raw, above, out, width, fill);
        case kAverage:
            return unfilterRow<channels, kAverage>(raw, above, out, width, fill);
        case kPaeth:
            return unfilterRow<channels, kPaeth>(raw, above, out, width, fill);
        default:
            return unfilterRow<channels, kNone>(raw, above, out, width, fill);
    }
}

void unpremultiplyRow(const Lanes* in, int width, Lanes* straight) {
    for (int x = 0; x < width; ++x) {
        const Lanes p = in[x];
        const Lanes alpha = p >> 24;
        if (alpha == 255 || alpha == 0) {
            straight[x] = alpha == 0 ? 0 : p;
            continue;
        }
        Lanes v = alpha << 24;
        for (int shift = 0; shift < 24; shift += 8) {
            // Clamped: a colour brighter than its alpha is not valid premultiplied data.
            const Lanes c = std::min(255u, (((p >> shift) & 0xFF) * 255 + alpha / 2) / alpha);
            v |= c << shift;
        }
        straight[x] = v;
    }
}

template <int channels>
void filterRow(const Lanes* row, const Lanes* above, Filter filter, int width, std::uint8_t* out) {
#ifdef ORVEX_PNG_SSSE3
    if (hasSsse3()) return filterSsse3<channels>(row, above, filter, width, out);
#endif
    for (int x = 0; x < width; ++x) {
        const Lanes predictor = filter == kSub ? (x > 0 ? row[x - 1] : 0) : above[x];
        storeBytes<channels>(subtractBytes(row[x], predictor), out + channels * x);
    }
}

}  // namespace

void premultiplyRow(const std::uint32_t* straight, int width, std::uint32_t* out) {
    for (int x = 0; x < width; ++x) {
        const Lanes p = straight[x];
        const Lanes alpha = p >> 24;
        if (alpha == 255) {
            out[x] = p;
            continue;
        }
        Lanes v = alpha << 24;
        for (int shift = 0; shift < 24; shift += 8)
            v |= ((((p >> shift) & 0xFF) * alpha + 127) / 255) << shift;
        out[x] = v;
    }
}

RowReconstruction::RowReconstruction(PixelBuffer& pixels, int channels)
    : pixels_(pixels), channels_(channels) {
    const auto width = static_cast<std::size_t>(pixels.width());
    zeros_.assign(width, 0);
    if (channels == 4) {
        straight_[0].assign(width, 0);
        straight_[1].assign(width, 0);
    }
}

void RowReconstruction::rows(const std::uint8_t* rows, std::size_t rowBytes, int first, int last,
                             bool continues) {
    const int width = pixels_.width();
    const auto hasAbove = [&](int y) { return y > first || (continues && y > 0); };
    if (channels_ == 3) {
        for (int y = first; y < last; ++y) {
            const std::uint8_t* row = rows + rowBytes * static_cast<std::size_t>(y - first);
            const Lanes* above = hasAbove(y) ? pixels_.row(y - 1) : zeros_.data();
            unfilterRow<3>(row[0], row + 1, above, pixels_.row(y), width, 0xFF000000u);
        }
        return;
    }
    // The filters work on straight alpha, so the row above is kept straight beside the
    // premultiplied one that is shown.
    for (int y = first; y < last; ++y) {
        const std::uint8_t* row = rows + rowBytes * static_cast<std::size_t>(y - first);
        Lanes* current = straight_[y & 1].data();
        const Lanes* above = hasAbove(y) ? straight_[(y - 1) & 1].data() : zeros_.data();
        unfilterRow<4>(row[0], row + 1, above, current, width, 0);
        premultiplyRow(current, width, pixels_.row(y));
    }
}

void unfilterRows(const std::uint8_t* data, std::size_t rowBytes, int channels, int first, int last,
                  PixelBuffer& pixels) {
    RowReconstruction(pixels, channels)
        .rows(data + rowBytes * static_cast<std::size_t>(first), rowBytes, first, last, false);
}

void filterRows(const PixelBuffer& pixels, int channels, int first, int last, int subEvery,
                std::uint8_t* out) {
    const int width = pixels.width();
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(width) * channels;
    const std::vector<Lanes> zeros(static_cast<std::size_t>(width), 0);
    std::vector<Lanes> straight[2];
    if (channels == 4) {
        straight[0].resize(static_cast<std::size_t>(width));
        straight[1].resize(static_cast<std::size_t>(width));
        if (first > 0)
            unpremultiplyRow(pixels.row(first - 1), width, straight[(first - 1) & 1].data());
    }
    for (int y = first; y < last; ++y) {
        std::uint8_t* row = out + rowBytes * static_cast<std::size_t>(y - first);
        const Filter filter = y % subEvery == 0 ? kSub : kUp;
        row[0] = filter;
        if (channels == 3) {
            filterRow<3>(pixels.row(y), y > 0 ? pixels.row(y - 1) : zeros.data(), filter, width,
                         row + 1);
        } else {
            unpremultiplyRow(pixels.row(y), width, straight[y & 1].data());
            filterRow<4>(straight[y & 1].data(),
                         y > 0 ? straight[(y - 1) & 1].data() : zeros.data(), filter, width,
                         row + 1);
        }
    }
}

}  // namespace platform::graphics::png
