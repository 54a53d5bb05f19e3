#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/work_queue.h"
#include "platform/graphics/codec_result.h"
#include "platform/graphics/image.h"
#include "platform/media/album_grid_view.h"
#include "platform/media/thumbnail_cache.h"
#include "platform/ui/scroll_view.h"

namespace platform::media {

// The photo library's album: a scrolling grid of the album's photos, newest first, with
// thumbnails made in the background for the cells in view first. A picked photo is read
// and decoded off the main thread and then handed over with the tag of its EXIF data.
class AlbumBrowser : public ui::ScrollViewDelegate,
                     public std::enable_shared_from_this<AlbumBrowser> {
  public:
    // The decoded photo, or null with the reason when it cannot be read.
    using PickHandler = std::function<void(graphics::ImagePtr picture)>;

    static std::shared_ptr<AlbumBrowser> make(foundation::Rect frame,
                                              std::filesystem::path thumbnailRoot,
                                              ThumbnailCache::Flavor flavor);

    const std::shared_ptr<ui::ScrollView>& view() const { return scrollView_; }
    const std::shared_ptr<AlbumGridView>& grid() const { return grid_; }
    void setPickHandler(PickHandler handler) { pickHandler_ = std::move(handler); }

    // Shows these photos, newest first, from the top; `folder` is named when there are none.
    void reload(std::vector<std::filesystem::path> photos, const std::filesystem::path& folder);
    std::size_t count() const { return photos_.size(); }
    // Cells whose thumbnail (or broken sign) has been made since the listing was read.
    std::size_t thumbnailsReady() const { return thumbnailsReady_; }
    const std::vector<std::filesystem::path>& photos() const { return photos_; }

    // Reads and decodes the photo in the background; a later pick replaces an earlier one
    // still under way.
    void pick(std::size_t index);
    // Brings the cell into view and gives its centre in window points, where a finger
    // would touch it.
    std::optional<foundation::Point> touchPointOfCell(std::size_t index);

    std::shared_ptr<ui::View> viewForZoomingInScrollView(ui::ScrollView&) override {
        return nullptr;
    }
    void scrollViewDidScroll(ui::ScrollView&) override;

  private:
    AlbumBrowser(foundation::Rect frame, std::filesystem::path thumbnailRoot,
                 ThumbnailCache::Flavor flavor);
    void connect();
    void requestThumbnails();
    void thumbnailArrived(const std::filesystem::path& file, const Thumbnail& thumbnail);
    void forgetFarCells();
    void delivered(std::uint64_t generation, const std::filesystem::path& file,
                   const graphics::DecodeResult& result);

    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<AlbumGridView> grid_;
    ThumbnailCache thumbnails_;
    foundation::WorkQueue decoder_;
    std::vector<std::filesystem::path> photos_;
    std::unordered_map<std::string, std::size_t> indexOf_;
    std::vector<bool> answered_;
    std::size_t thumbnailsReady_ = 0;
    std::pair<std::size_t, std::size_t> requested_{0, 0};
    std::uint64_t pickGeneration_ = 0;
    PickHandler pickHandler_;
};

}  // namespace platform::media
