#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/run_loop.h"
#include "platform/graphics/image.h"

namespace platform::media {

struct Thumbnail {
    enum class Kind { Final, Provisional, Failed };
    graphics::ImagePtr picture;  // upright (tag Up, scale 1); null when Failed
    Kind kind = Kind::Final;  // Provisional: the EXIF thumbnail, shown while the real one is made
};

// Thumbnails after the freedesktop Thumbnail Managing Standard, so that file managers and we
// share them, made on background threads.
class ThumbnailCache {
  public:
    enum class Flavor { Normal /* 128 px, normal/ */, Large /* 256 px, large/ */ };

    // root: the thumbnails folder, normally $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails)
    ThumbnailCache(std::filesystem::path root, Flavor flavor,
                   foundation::RunLoop& loop = foundation::RunLoop::main());
    static std::filesystem::path defaultRoot();
    // Drops what is pending, waits for work under way, never calls the handler after. On the
    // loop's thread, like every other call but the ones marked static.
    ~ThumbnailCache();
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    using Handler =
        std::function<void(const std::filesystem::path& file, const Thumbnail& thumbnail)>;
    // Called on the loop's thread only.
    void setHandler(Handler handler);

    // Replaces every pending request with these files, made in this order (the caller puts the
    // visible cells first). A file already being made finishes. Each requested file is answered
    // (Provisional first where the photo has an EXIF thumbnail, then Final or Failed) unless a
    // later request() drops it before it started.
    void request(std::vector<std::filesystem::path> files);

    // file:///abs/path, percent-encoded per RFC 3986 as GLib does, so that the names match
    // those other programs give.
    static std::string uriFor(const std::filesystem::path& file);
    // root/large/<md5(uri)>.png (normal/ for the Normal flavor)
    std::filesystem::path thumbnailPathFor(const std::filesystem::path& file) const;
    // root/fail/orvex-<version>/<md5(uri)>.png
    std::filesystem::path failPathFor(const std::filesystem::path& file) const;

    // The longer side of this flavor's thumbnails, in pixels.
    static int sizeOf(Flavor flavor);

  private:
    struct Shared;
    static void work(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> workers_;  // last: started once the shared state exists
};

}  // namespace platform::media
