#include "platform/graphics/reduced_copies.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "platform/graphics/drawing_context.h"
#include "platform/graphics/pixel_halving.h"

namespace platform::graphics {

namespace {

// Halving stops here: below this, drawing from the picture costs nothing worth saving.
constexpr int kSmallestSide = 32;

// One picture's halved copies, smallest last; made in order, each from the one before.
class CopyChain {
  public:
    explicit CopyChain(std::shared_ptr<const PixelBuffer> source) : source_(std::move(source)) {}

    // The copy halved `halvings` times (1 or more), made with the ones before it if needed;
    // null when there is no memory for it (the picture is then drawn from its own pixels).
    std::shared_ptr<const PixelBuffer> copy(int halvings) {
        std::lock_guard lock(mutex_);
        try {
            while (static_cast<int>(copies_.size()) < halvings) {
                const std::shared_ptr<const PixelBuffer> from =
                    copies_.empty() ? source_.lock() : copies_.back();
                if (!from) return nullptr;
                copies_.push_back(halvePixels(*from));
            }
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return copies_[static_cast<std::size_t>(halvings - 1)];
    }

    bool isFor(const std::shared_ptr<const PixelBuffer>& pixels) const {
        return !source_.owner_before(pixels) && !pixels.owner_before(source_);
    }
    bool sourceIsGone() const { return source_.expired(); }

  private:
    std::weak_ptr<const PixelBuffer> source_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<const PixelBuffer>> copies_;
};

// The chains of the pictures that live, weakly keyed by their pixels; a chain is let go the
// next time any chain is looked up after its picture's pixels are gone.
class Chains {
  public:
    std::shared_ptr<CopyChain> chainFor(const std::shared_ptr<const PixelBuffer>& pixels) {
        std::lock_guard lock(mutex_);
        std::erase_if(chains_, [](const auto& chain) { return chain->sourceIsGone(); });
        for (const auto& chain : chains_)
            if (chain->isFor(pixels)) return chain;
        return chains_.emplace_back(std::make_shared<CopyChain>(pixels));
    }

  private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<CopyChain>> chains_;
};

Chains& chains() {
    static Chains instance;
    return instance;
}

int halvedSide(int side, int halvings) {
    return (side + (1 << halvings) - 1) >> halvings;
}

// Cairo brings a picture to size with one bilinear step down to 3/4 of it; anything smaller
// it filters about fifteen times more slowly (a convolution over the picture).
constexpr double kBilinearReach = 4.0 / 3.0;

// How often to halve the picture for drawing it at `width` × `height` pixels: as long as
// both sides keep more than the bilinear step can bring down to size.
int usefulHalvings(const PixelBuffer& pixels, float width, float height) {
    int halvings = 0;
    while (std::max(halvedSide(pixels.width(), halvings + 1),
                    halvedSide(pixels.height(), halvings + 1)) >= kSmallestSide &&
           pixels.width() / double(1 << halvings) > kBilinearReach * width &&
           pixels.height() / double(1 << halvings) > kBilinearReach * height)
        ++halvings;
    return halvings;
}

// Whether an upright axis runs against the stored axis it shows (x, then y), for each tag.
struct Reversed {
    bool x, y;
};

Reversed reversedAxes(ImageOrientation orientation) {
    switch (orientation) {
        case ImageOrientation::Down:
        case ImageOrientation::RightMirrored:
            return {true, true};
        case ImageOrientation::Left:
        case ImageOrientation::DownMirrored:
            return {false, true};
        case ImageOrientation::Right:
        case ImageOrientation::UpMirrored:
            return {true, false};
        default:
            return {false, false};
    }
}

// The rectangle to draw the copy in so that the picture's own part of it lands on `rect`:
// where the copy reaches past the picture, the rectangle does too, on the side the stored
// right or bottom edge is seen.
foundation::Rect rectForCopy(const Image& image, const ReducedCopy& copy, foundation::Rect rect) {
    const PixelBuffer& source = image.pixels();
    const double scale = 1 << copy.halvings;
    const double overX = copy.pixels->width() * scale / source.width();
    const double overY = copy.pixels->height() * scale / source.height();
    const bool sideways = isSideways(image.imageOrientation());
    const double uprightOverX = sideways ? overY : overX;
    const double uprightOverY = sideways ? overX : overY;
    const Reversed reversed = reversedAxes(image.imageOrientation());
    const float width = static_cast<float>(rect.width() * uprightOverX);
    const float height = static_cast<float>(rect.height() * uprightOverY);
    return {reversed.x ? rect.maxX() - width : rect.x(),
            reversed.y ? rect.maxY() - height : rect.y(), width, height};
}

}  // namespace

void prepareReducedCopies(const Image& image) {
    const int halvings = usefulHalvings(image.pixels(), 0.0f, 0.0f);
    if (halvings == 0) return;
    try {
        chains().chainFor(image.pixelBuffer())->copy(halvings);
    } catch (const std::bad_alloc&) {
        // Drawing makes do with the picture itself.
    }
}

ReducedCopy reducedCopy(const Image& image, float width, float height) {
    const int halvings = usefulHalvings(image.pixels(), width, height);
    if (halvings == 0) return {};
    auto pixels = chains().chainFor(image.pixelBuffer())->copy(halvings);
    if (!pixels) return {};
    return {std::move(pixels), halvings};
}

void drawImageReduced(DrawingContext& context, const Image& image, foundation::Rect rect) {
    // Views only move and scale, but the lengths of the transformed axes hold for any.
    const foundation::AffineTransform t = context.placement().transform;
    const double deviceWidth = rect.width() * std::hypot(t.a, t.b);
    const double deviceHeight = rect.height() * std::hypot(t.c, t.d);
    const bool sideways = isSideways(image.imageOrientation());
    const ReducedCopy copy =
        reducedCopy(image, static_cast<float>(sideways ? deviceHeight : deviceWidth),
                    static_cast<float>(sideways ? deviceWidth : deviceHeight));
    if (!copy.pixels) {
        context.drawImage(image, rect);
        return;
    }
    const Image reduced(copy.pixels, image.imageOrientation(), image.scale());
    const foundation::Rect drawn = rectForCopy(image, copy, rect);
    if (drawn == rect) {
        context.drawImage(reduced, rect);
        return;
    }
    context.save();
    context.clip(rect);
    context.drawImage(reduced, drawn);
    context.restore();
}

}  // namespace platform::graphics
