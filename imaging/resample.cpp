#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/graphics/bilinear_enlargement.h"
#include "platform/graphics/parallel_rows.h"
#include "platform/graphics/pixel_memory.h"

namespace imaging {

namespace {

constexpr int kWeightBits = 14;
constexpr std::int32_t kOne = 1 << kWeightBits;
constexpr std::int32_t kHalf = kOne / 2;

// For each output index along one axis: the source indices and fixed-point weights (summing
// to kOne) that make it, `taps` of each.
struct AxisFilter {
    int taps = 1;
    std::vector<int> index;
    std::vector<std::int32_t> weight;
    // Output i is source first + i, unfiltered.
    bool isPlainCopy() const {
        if (taps != 1) return false;
        for (std::size_t i = 0; i < index.size(); ++i)
            if (index[i] != index[0] + static_cast<int>(i)) return false;
        return true;
    }
};

// Stores one output index's weights, turned to fixed point with their sum kept exact.
void appendTaps(AxisFilter& f, int taps, const std::vector<std::pair<int, double>>& contributions) {
    double total = 0.0;
    for (const auto& c : contributions) total += c.second;
    std::int32_t sum = 0;
    std::size_t largest = f.weight.size();
    for (int k = 0; k < taps; ++k) {
        const bool used = k < static_cast<int>(contributions.size());
        const int source =
            used ? contributions[static_cast<std::size_t>(k)].first : contributions.front().first;
        const auto w = used ? static_cast<std::int32_t>(std::lround(
                                  contributions[static_cast<std::size_t>(k)].second / total * kOne))
                            : 0;
        if (used && (largest == f.weight.size() || w > f.weight[largest]))
            largest = f.weight.size();
        f.index.push_back(source);
        f.weight.push_back(w);
        sum += w;
    }
    f.weight[largest] += kOne - sum;
}

AxisFilter shiftFilter(int sourceLength, int outputLength, double offset) {
    AxisFilter f;
    const auto shift = static_cast<int>(std::floor(offset + 0.5));
    for (int i = 0; i < outputLength; ++i) {
        f.index.push_back(std::clamp(i - shift, 0, sourceLength - 1));
        f.weight.push_back(kOne);
    }
    return f;
}

AxisFilter bilinearFilter(int sourceLength, int outputLength, double offset, double scale) {
    AxisFilter f;
    f.taps = 2;
    for (int i = 0; i < outputLength; ++i) {
        const double centre = (i + 0.5 - offset) / scale - 0.5;
        const double left = std::floor(centre);
        const double t = centre - left;
        const int a = std::clamp(static_cast<int>(left), 0, sourceLength - 1);
        const int b = std::clamp(static_cast<int>(left) + 1, 0, sourceLength - 1);
        appendTaps(f, 2, {{a, 1.0 - t}, {b, t}});
    }
    return f;
}

// Each output pixel is the mean of the source area it covers, partial pixels by their share.
AxisFilter areaFilter(int sourceLength, int outputLength, double offset, double scale) {
    AxisFilter f;
    f.taps = static_cast<int>(std::ceil(1.0 / scale)) + 1;
    std::vector<std::pair<int, double>> contributions;
    for (int i = 0; i < outputLength; ++i) {
        const double from = std::clamp((i - offset) / scale, 0.0, double(sourceLength));
        const double to = std::clamp((i + 1 - offset) / scale, 0.0, double(sourceLength));
        contributions.clear();
        for (int s = static_cast<int>(from); s < sourceLength && s < to; ++s) {
            const double share = std::min(to, s + 1.0) - std::max(from, double(s));
            if (share > 1e-9) contributions.emplace_back(s, share);
        }
        if (contributions.empty())  // outside the source: its nearest edge pixel
            contributions.emplace_back(std::clamp(static_cast<int>(from), 0, sourceLength - 1),
                                       1.0);
        appendTaps(f, f.taps, contributions);
    }
    return f;
}

AxisFilter axisFilter(int sourceLength, int outputLength, double offset, double extent) {
    const double scale = extent / sourceLength;
    if (scale == 1.0) return shiftFilter(sourceLength, outputLength, offset);
    if (scale > 1.0) return bilinearFilter(sourceLength, outputLength, offset, scale);
    return areaFilter(sourceLength, outputLength, offset, scale);
}

std::uint8_t settle(std::int32_t accumulated) {
    return static_cast<std::uint8_t>(
        std::min<std::int32_t>(255, (accumulated + kHalf) >> kWeightBits));
}

template <int kTaps>
void filterRow(const std::uint8_t* source, std::uint8_t* out, const AxisFilter& f, int taps) {
    const int n = kTaps > 0 ? kTaps : taps;
    const std::size_t outputs = f.index.size() / static_cast<std::size_t>(n);
    for (std::size_t o = 0; o < outputs; ++o) {
        const int* index = &f.index[o * n];
        const std::int32_t* weight = &f.weight[o * n];
        std::int32_t b = 0, g = 0, r = 0, a = 0;
        for (int k = 0; k < n; ++k) {
            const std::uint8_t* p = source + index[k] * 4;
            b += p[0] * weight[k];
            g += p[1] * weight[k];
            r += p[2] * weight[k];
            a += p[3] * weight[k];
        }
        out[4 * o + 0] = settle(b);
        out[4 * o + 1] = settle(g);
        out[4 * o + 2] = settle(r);
        out[4 * o + 3] = settle(a);
    }
}

void filterRowAlong(const std::uint8_t* source, std::uint8_t* out, const AxisFilter& f) {
    switch (f.taps) {
        case 1:
            return filterRow<1>(source, out, f, 1);
        case 2:
            return filterRow<2>(source, out, f, 2);
        case 3:
            return filterRow<3>(source, out, f, 3);
        default:
            return filterRow<0>(source, out, f, f.taps);
    }
}

void blendRows(const std::uint8_t* const* rows, const std::int32_t* weight, int taps,
               std::size_t bytes, std::uint8_t* out) {
    for (std::size_t j = 0; j < bytes; ++j) {
        std::int32_t sum = 0;
        for (int k = 0; k < taps; ++k) sum += rows[k][j] * weight[k];
        out[j] = settle(sum);
    }
}

// Output rows [first, last): filters the source rows they need across, then blends them down.
void drawBand(PixelView source, MutablePixelView destination, const AxisFilter& across,
              const AxisFilter& down, int first, int last) {
    const int taps = down.taps;
    const auto rowIndex = [&](int o, int k) {
        return down.index[static_cast<std::size_t>(o * taps + k)];
    };
    int top = source.height, bottom = -1;
    for (int o = first; o < last; ++o)
        for (int k = 0; k < taps; ++k) {
            top = std::min(top, rowIndex(o, k));
            bottom = std::max(bottom, rowIndex(o, k));
        }
    const std::size_t rowBytes = static_cast<std::size_t>(destination.width) * 4;
    const bool copyAcross = across.isPlainCopy();
    platform::graphics::PixelMemory scratch;
    if (!copyAcross)
        scratch = platform::graphics::PixelMemory::allocate(rowBytes * (bottom - top + 1));
    auto scratchRow = [&](int sourceRow) {
        return scratch.data() + rowBytes * static_cast<std::size_t>(sourceRow - top);
    };
    if (!copyAcross)
        for (int s = top; s <= bottom; ++s)
            filterRowAlong(reinterpret_cast<const std::uint8_t*>(source.row(s)), scratchRow(s),
                           across);
    auto filtered = [&](int sourceRow) -> const std::uint8_t* {
        if (copyAcross)
            return reinterpret_cast<const std::uint8_t*>(source.row(sourceRow) + across.index[0]);
        return scratchRow(sourceRow);
    };

    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(taps));
    for (int o = first; o < last; ++o) {
        auto* out = reinterpret_cast<std::uint8_t*>(destination.row(o));
        if (taps == 1) {
            std::memcpy(out, filtered(rowIndex(o, 0)), rowBytes);
            continue;
        }
        for (int k = 0; k < taps; ++k) rows[static_cast<std::size_t>(k)] = filtered(rowIndex(o, k));
        blendRows(rows.data(), &down.weight[static_cast<std::size_t>(o * taps)], taps, rowBytes,
                  out);
    }
}

}  // namespace

void drawScaled(PixelView source, MutablePixelView destination, platform::foundation::Rect drawRect,
                platform::graphics::PixelBuffer::Format format) {
    if (destination.width == 0 || destination.height == 0) return;
    const bool drawable = source.width > 0 && source.height > 0 && drawRect.width() > 0.0f &&
                          drawRect.height() > 0.0f && std::isfinite(drawRect.width()) &&
                          std::isfinite(drawRect.height()) && std::isfinite(drawRect.x()) &&
                          std::isfinite(drawRect.y());
    if (!drawable) {  // nothing to draw: the surface stays transparent
        for (int y = 0; y < destination.height; ++y)
            std::memset(destination.row(y), 0, static_cast<std::size_t>(destination.width) * 4);
        return;
    }
    // Enlarging on both axes: pixman's vectorised bilinear filter samples at pixel centres and
    // extends the edges exactly as the separable filters below do, only faster.
    if (drawRect.width() > source.width && drawRect.height() > source.height) {
        platform::graphics::parallelRows(destination.height, 64, [&](int first, int last) {
            platform::graphics::enlargeBilinear(
                {source.data, source.width, source.height, source.stride},
                {destination.data, destination.width, destination.height, destination.stride},
                drawRect, format, first, last);
        });
        return;
    }
    const AxisFilter across =
        axisFilter(source.width, destination.width, drawRect.x(), drawRect.width());
    const AxisFilter down =
        axisFilter(source.height, destination.height, drawRect.y(), drawRect.height());
    platform::graphics::parallelRows(destination.height, 64, [&](int first, int last) {
        drawBand(source, destination, across, down, first, last);
    });
}

}  // namespace imaging
