#include "platform/media/album_browser.h"

#include <algorithm>
#include <cstdlib>

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"

namespace platform::media {

namespace {
// Thumbnails are kept for this many screens above and below the one in view; farther
// cells let theirs go, so a long album costs memory only for its listing.
constexpr float kKeptScreens = 2.0f;

// The folder as a user would write it: the home folder as "~".
std::string friendlyPath(const std::filesystem::path& folder) {
    const std::string text = folder.string();
    const char* home = std::getenv("HOME");
    if (home && *home) {
        const std::string prefix(home);
        if (text.size() > prefix.size() && text.starts_with(prefix) && text[prefix.size()] == '/')
            return "~" + text.substr(prefix.size());
    }
    return text;
}
}  // namespace

std::shared_ptr<AlbumBrowser> AlbumBrowser::make(foundation::Rect frame,
                                                 std::filesystem::path thumbnailRoot,
                                                 ThumbnailCache::Flavor flavor) {
    std::shared_ptr<AlbumBrowser> browser(
        new AlbumBrowser(frame, std::move(thumbnailRoot), flavor));
    browser->connect();
    return browser;
}

AlbumBrowser::AlbumBrowser(foundation::Rect frame, std::filesystem::path thumbnailRoot,
                           ThumbnailCache::Flavor flavor)
    : scrollView_(std::make_shared<ui::ScrollView>(frame)),
      grid_(std::make_shared<AlbumGridView>(frame.width())),
      thumbnails_(std::move(thumbnailRoot), flavor) {
    scrollView_->setClipsToBounds(true);
    scrollView_->addSubview(grid_);
}

void AlbumBrowser::connect() {
    std::weak_ptr<AlbumBrowser> weak = weak_from_this();
    scrollView_->setDelegate(weak);
    thumbnails_.setHandler([weak](const std::filesystem::path& file, const Thumbnail& thumbnail) {
        if (auto self = weak.lock()) self->thumbnailArrived(file, thumbnail);
    });
    grid_->setPickHandler([weak](std::size_t index) {
        if (auto self = weak.lock()) self->pick(index);
    });
}

void AlbumBrowser::reload(std::vector<std::filesystem::path> photos,
                          const std::filesystem::path& folder) {
    photos_ = std::move(photos);
    indexOf_.clear();
    for (std::size_t i = 0; i < photos_.size(); ++i) indexOf_[photos_[i].string()] = i;
    answered_.assign(photos_.size(), false);
    thumbnailsReady_ = 0;
    requested_ = {0, 0};
    ++pickGeneration_;  // a pick still being read belongs to the old listing
    grid_->setCellCount(photos_.size());
    grid_->setEmptyText("No photos yet", "Photos you take are saved in " + friendlyPath(folder));
    scrollView_->setContentSize({scrollView_->frame().width(), grid_->contentHeight()});
    scrollView_->setContentOffset({0, 0});
    requestThumbnails();
}

void AlbumBrowser::scrollViewDidScroll(ui::ScrollView&) {
    requestThumbnails();
}

// The cells in view first, then a screen below and one above, as a user scrolls on.
void AlbumBrowser::requestThumbnails() {
    const float top = scrollView_->contentOffset().y;
    const float height = scrollView_->frame().height();
    const auto visible = grid_->cellsBetween(top, top + height);
    if (visible == requested_) return;
    requested_ = visible;
    const auto below = grid_->cellsBetween(top + height, top + 2 * height);
    const auto above = grid_->cellsBetween(top - height, top);
    std::vector<std::filesystem::path> wanted;
    for (auto range : {visible, below, above})
        for (std::size_t i = range.first; i < range.second; ++i)
            if (grid_->cell(i).state == AlbumGridView::CellState::Waiting)
                wanted.push_back(photos_[i]);
    thumbnails_.request(std::move(wanted));
    forgetFarCells();
}

void AlbumBrowser::forgetFarCells() {
    const float top = scrollView_->contentOffset().y;
    const float height = scrollView_->frame().height();
    const auto kept =
        grid_->cellsBetween(top - kKeptScreens * height, top + (kKeptScreens + 1) * height);
    for (std::size_t i = 0; i < kept.first; ++i) grid_->forgetCell(i);
    for (std::size_t i = kept.second; i < photos_.size(); ++i) grid_->forgetCell(i);
}

void AlbumBrowser::thumbnailArrived(const std::filesystem::path& file, const Thumbnail& thumbnail) {
    const auto found = indexOf_.find(file.string());
    if (found == indexOf_.end()) return;  // from a listing read before
    const std::size_t index = found->second;
    if (thumbnail.kind != Thumbnail::Kind::Provisional && !answered_[index]) {
        answered_[index] = true;
        ++thumbnailsReady_;
    }
    if (thumbnail.kind == Thumbnail::Kind::Failed) {
        grid_->setCell(index, {AlbumGridView::CellState::Broken, nullptr});
        return;
    }
    // A provisional thumbnail never replaces the one it stands in for.
    if (thumbnail.kind == Thumbnail::Kind::Provisional && grid_->cell(index).thumbnail) return;
    grid_->setCell(index, {AlbumGridView::CellState::Shown, thumbnail.picture});
}

void AlbumBrowser::pick(std::size_t index) {
    if (index >= photos_.size()) return;
    const auto generation = ++pickGeneration_;
    const auto file = photos_[index];
    std::weak_ptr<AlbumBrowser> weak = weak_from_this();
    decoder_.async<graphics::DecodeResult>([file] { return graphics::decodeImageFile(file); },
                                           [weak, generation, file](graphics::DecodeResult result) {
                                               if (auto self = weak.lock())
                                                   self->delivered(generation, file, result);
                                           });
}

void AlbumBrowser::delivered(std::uint64_t generation, const std::filesystem::path& file,
                             const graphics::DecodeResult& result) {
    if (generation != pickGeneration_ || !pickHandler_) return;
    if (!result) foundation::logWarning("cannot open %@: %@", file.string(), result.error());
    pickHandler_(result ? result.value() : nullptr);
}

std::optional<foundation::Point> AlbumBrowser::touchPointOfCell(std::size_t index) {
    if (index >= photos_.size() || !scrollView_->window()) return std::nullopt;
    const auto cell = grid_->cellRect(index);
    const float height = scrollView_->frame().height();
    float top = scrollView_->contentOffset().y;
    if (cell.y() < top) top = cell.y();
    if (cell.maxY() > top + height) top = cell.maxY() - height;
    scrollView_->setContentOffset({scrollView_->contentOffset().x, top});
    const auto origin = scrollView_->originInWindow();
    const auto centre = cell.center();
    return foundation::Point{origin.x + centre.x - scrollView_->contentOffset().x,
                             origin.y + centre.y - scrollView_->contentOffset().y};
}

}  // namespace platform::media
