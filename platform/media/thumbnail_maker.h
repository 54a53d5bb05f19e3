#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "platform/media/thumbnail_cache.h"

namespace platform::media {

// One flavor's thumbnail folders, and how one file's thumbnail is found there or made. It keeps
// nothing between files, so any number of threads may share one.
class ThumbnailMaker {
  public:
    // Files larger than this are not read: no picture we can show needs more.
    static constexpr std::uintmax_t kMaxFileSize = 200u << 20;

    ThumbnailMaker(std::filesystem::path root, ThumbnailCache::Flavor flavor);

    std::filesystem::path thumbnailPathFor(const std::filesystem::path& file) const;
    std::filesystem::path failPathFor(const std::filesystem::path& file) const;

    // Answers with the thumbnail recorded for the file as it is now, or makes one: the
    // picture's EXIF thumbnail goes first where it has one, then the thumbnail made (and
    // stored), or Failed (and a fail entry stored, so that the file is not tried again until
    // it changes).
    void make(const std::filesystem::path& file,
              const std::function<void(const Thumbnail&)>& answer) const;

  private:
    std::filesystem::path thumbnailFolder_;
    std::filesystem::path failFolder_;
    int size_;
};

}  // namespace platform::media
