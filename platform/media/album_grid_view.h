#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/image.h"
#include "platform/ui/view.h"

namespace platform::media {

// The album as a grid of square cells, four across, each showing a photo's thumbnail, a
// plain placeholder until it is ready, or a broken-picture sign for a file that cannot be
// read. Only the rows in view are drawn, so an album of thousands costs no more to draw
// than one of twenty. A touch that lifts on a cell picks it.
class AlbumGridView : public ui::View {
  public:
    static constexpr int kColumns = 4;
    static constexpr float kGap = 2.0f;

    enum class CellState { Waiting, Shown, Broken };
    struct Cell {
        CellState state = CellState::Waiting;
        graphics::ImagePtr thumbnail;
    };

    explicit AlbumGridView(float width);

    // A new listing: every cell waits for its thumbnail again.
    void setCellCount(std::size_t count);
    std::size_t cellCount() const { return cells_.size(); }
    void setCell(std::size_t index, Cell cell);
    const Cell& cell(std::size_t index) const { return cells_.at(index); }
    // Drops the thumbnail a cell holds (it is far out of view); it waits again.
    void forgetCell(std::size_t index);

    // Shown when the album is empty.
    void setEmptyText(std::string title, std::string detail);

    float cellSide() const;
    // The height the cells need; the view's frame follows it.
    float contentHeight() const;
    foundation::Rect cellRect(std::size_t index) const;
    // Cells that meet the band of the view's own coordinates from top to bottom.
    std::pair<std::size_t, std::size_t> cellsBetween(float top, float bottom) const;
    // The cell under a point of the view's coordinates, if any.
    std::optional<std::size_t> cellAt(foundation::Point point) const;

    void setPickHandler(std::function<void(std::size_t)> handler) {
        pickHandler_ = std::move(handler);
    }

    void touchesBegan(const ui::Touches& touches) override;
    void touchesEnded(const ui::Touches& touches) override;
    void touchesCancelled(const ui::Touches& touches) override;
    void draw(graphics::DrawingContext& context) const override;

  private:
    foundation::Rect visibleBand() const;
    void drawCell(graphics::DrawingContext& context, std::size_t index) const;
    void drawEmptyText(graphics::DrawingContext& context) const;

    float width_;
    std::vector<Cell> cells_;
    std::string emptyTitle_;
    std::string emptyDetail_;
    std::optional<std::size_t> pressed_;
    std::function<void(std::size_t)> pickHandler_;
};

}  // namespace platform::media
