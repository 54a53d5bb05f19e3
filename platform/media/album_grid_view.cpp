#include "platform/media/album_grid_view.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/scroll_view.h"

namespace platform::media {

using foundation::Point;
using foundation::Rect;

namespace {
constexpr graphics::Color kPlaceholder{0.19f, 0.19f, 0.21f, 1.0f};
constexpr graphics::Color kBrokenPlate{0.27f, 0.16f, 0.16f, 1.0f};
constexpr graphics::Color kBrokenMark{0.85f, 0.55f, 0.5f, 1.0f};
constexpr graphics::Color kPressed{0.0f, 0.0f, 0.0f, 0.35f};
constexpr graphics::Color kEmptyTitle{1.0f, 1.0f, 1.0f, 0.9f};
constexpr graphics::Color kEmptyDetail{1.0f, 1.0f, 1.0f, 0.55f};

// The picture scaled to cover the square, centred: the cell shows its middle.
Rect aspectFill(foundation::Size picture, Rect cell) {
    const float scale = std::max(cell.width() / picture.width, cell.height() / picture.height);
    const float w = picture.width * scale;
    const float h = picture.height * scale;
    return {cell.x() + (cell.width() - w) * 0.5f, cell.y() + (cell.height() - h) * 0.5f, w, h};
}

// A picture frame with a crack through it.
void drawBrokenSign(graphics::DrawingContext& context, Rect cell) {
    context.fillRect(cell, kBrokenPlate);
    const float s = cell.width() * 0.22f;
    const Point c = cell.center();
    const Rect frame{c.x - s, c.y - s * 0.8f, 2 * s, 1.6f * s};
    context.strokeLine({frame.x(), frame.y()}, {frame.maxX(), frame.y()}, 1.5f, kBrokenMark);
    context.strokeLine({frame.x(), frame.maxY()}, {frame.maxX(), frame.maxY()}, 1.5f, kBrokenMark);
    context.strokeLine({frame.x(), frame.y()}, {frame.x(), frame.maxY()}, 1.5f, kBrokenMark);
    context.strokeLine({frame.maxX(), frame.y()}, {frame.maxX(), frame.maxY()}, 1.5f, kBrokenMark);
    const Point crack[] = {{c.x - s * 0.2f, frame.y()},
                           {c.x + s * 0.15f, c.y - s * 0.3f},
                           {c.x - s * 0.15f, c.y + s * 0.1f},
                           {c.x + s * 0.2f, frame.maxY()}};
    for (std::size_t i = 0; i + 1 < std::size(crack); ++i)
        context.strokeLine(crack[i], crack[i + 1], 1.5f, kBrokenMark);
}
}  // namespace

AlbumGridView::AlbumGridView(float width) : View(Rect{0, 0, width, 0}), width_(width) {}

void AlbumGridView::setCellCount(std::size_t count) {
    cells_.assign(count, Cell{});
    pressed_.reset();
    setFrame({frame().x(), frame().y(), width_, contentHeight()});
    setNeedsDisplay();
}

void AlbumGridView::setCell(std::size_t index, Cell cell) {
    if (index >= cells_.size()) return;
    cells_[index] = std::move(cell);
    setNeedsDisplay();
}

void AlbumGridView::forgetCell(std::size_t index) {
    if (index >= cells_.size() || cells_[index].state != CellState::Shown) return;
    cells_[index] = Cell{};
}

void AlbumGridView::setEmptyText(std::string title, std::string detail) {
    emptyTitle_ = std::move(title);
    emptyDetail_ = std::move(detail);
    setNeedsDisplay();
}

float AlbumGridView::cellSide() const {
    return (width_ - kGap * (kColumns - 1)) / kColumns;
}

float AlbumGridView::contentHeight() const {
    const auto rows = (cells_.size() + kColumns - 1) / kColumns;
    return rows == 0 ? 0.0f : static_cast<float>(rows) * (cellSide() + kGap) - kGap;
}

Rect AlbumGridView::cellRect(std::size_t index) const {
    const float step = cellSide() + kGap;
    const auto row = static_cast<float>(index / kColumns);
    const auto column = static_cast<float>(index % kColumns);
    return {column * step, row * step, cellSide(), cellSide()};
}

std::pair<std::size_t, std::size_t> AlbumGridView::cellsBetween(float top, float bottom) const {
    if (cells_.empty() || bottom <= top) return {0, 0};
    const float step = cellSide() + kGap;
    const auto firstRow = static_cast<std::size_t>(std::max(0.0f, std::floor(top / step)));
    const auto endRow = static_cast<std::size_t>(std::max(0.0f, std::ceil(bottom / step)));
    const std::size_t first = std::min(cells_.size(), firstRow * kColumns);
    const std::size_t end = std::min(cells_.size(), endRow * kColumns);
    return {first, end};
}

std::optional<std::size_t> AlbumGridView::cellAt(Point point) const {
    if (point.x < 0 || point.y < 0 || point.x >= width_) return std::nullopt;
    const float step = cellSide() + kGap;
    const auto column = static_cast<std::size_t>(point.x / step);
    const auto row = static_cast<std::size_t>(point.y / step);
    const std::size_t index = row * kColumns + column;
    if (column >= kColumns || index >= cells_.size()) return std::nullopt;
    if (!cellRect(index).contains(point)) return std::nullopt;  // in a gap
    return index;
}

void AlbumGridView::touchesBegan(const ui::Touches& touches) {
    if (touches.empty()) return;
    pressed_ = cellAt(touches.front().locationInView(this));
    if (pressed_) setNeedsDisplay();
}

void AlbumGridView::touchesEnded(const ui::Touches& touches) {
    const auto pressed = pressed_;
    pressed_.reset();
    if (!pressed || touches.empty()) return;
    setNeedsDisplay();
    if (cellAt(touches.front().locationInView(this)) == pressed && pickHandler_)
        pickHandler_(*pressed);
}

void AlbumGridView::touchesCancelled(const ui::Touches&) {
    if (!pressed_) return;
    pressed_.reset();
    setNeedsDisplay();
}

Rect AlbumGridView::visibleBand() const {
    if (auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(superview())) {
        const float top = scroll->contentOffset().y - frame().y();
        return {0, top, width_, scroll->frame().height()};
    }
    return bounds();
}

void AlbumGridView::draw(graphics::DrawingContext& context) const {
    if (cells_.empty()) {
        drawEmptyText(context);
        return;
    }
    const Rect band = visibleBand();
    const auto [first, end] = cellsBetween(band.y(), band.maxY());
    for (std::size_t i = first; i < end; ++i) drawCell(context, i);
}

void AlbumGridView::drawCell(graphics::DrawingContext& context, std::size_t index) const {
    const Rect rect = cellRect(index);
    const Cell& shown = cells_[index];
    if (shown.state == CellState::Broken) {
        drawBrokenSign(context, rect);
    } else if (shown.thumbnail && shown.thumbnail->size().width > 0 &&
               shown.thumbnail->size().height > 0) {
        context.save();
        context.clip(rect);
        context.drawImage(*shown.thumbnail, aspectFill(shown.thumbnail->size(), rect));
        context.restore();
    } else {
        context.fillRect(rect, kPlaceholder);
    }
    if (pressed_ == index) context.fillRect(rect, kPressed);
}

void AlbumGridView::drawEmptyText(graphics::DrawingContext& context) const {
    const Rect band = visibleBand();
    const float middle = band.y() + band.height() * 0.4f;
    context.drawText(emptyTitle_, {0, middle - 30, width_, 26}, {17.0f, true}, kEmptyTitle,
                     graphics::TextAlign::Center);
    context.drawText(emptyDetail_, {8, middle, width_ - 16, 20}, {12.0f, false}, kEmptyDetail,
                     graphics::TextAlign::Center);
}

}  // namespace platform::media
