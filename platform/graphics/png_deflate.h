#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/graphics/pixel_memory.h"

namespace platform::graphics::png {

// PNG's image data as one zlib stream, held in the pieces it was made in until it is copied
// into its place in the file.
class ZlibStream {
  public:
    struct Piece {
        PixelMemory bytes;
        std::size_t size = 0;
    };

    ZlibStream(std::vector<Piece> pieces, std::uint32_t adler);

    std::size_t size() const { return size_; }
    void copyTo(std::uint8_t* out) const;

  private:
    std::vector<Piece> pieces_;
    std::uint8_t trailer_[4];
    std::size_t size_;
};

// Compresses the filtered rows on every core into a single stream that any inflater reads.
// Nothing if compression failed.
std::optional<ZlibStream> compressImageData(const std::uint8_t* data, std::size_t size);

}  // namespace platform::graphics::png
