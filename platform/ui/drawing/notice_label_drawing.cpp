#include <algorithm>
#include <vector>

#include "platform/graphics/drawing_context.h"
#include "platform/ui/drawing/look.h"
#include "platform/ui/notice_label.h"

namespace platform::ui {

namespace {

constexpr graphics::Font kNoticeFont{11.0f, true};
constexpr graphics::Color kPlate{0.0f, 0.0f, 0.0f, 0.62f};
constexpr float kPadding = 6.0f;
constexpr float kLineHeight = 14.0f;
constexpr std::size_t kMostLines = 2;

// Greedy word wrap into lines no wider than `width`, breaking after a colon first ("what:"
// above "why"); the last line that fits ends in "…" when words are left over.
std::vector<std::string> wrap(graphics::DrawingContext& context, const std::string& text,
                              float width) {
    const bool oneLine = context.textWidth(text, kNoticeFont) <= width;
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size() && lines.size() < kMostLines) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        const std::string longer = line.empty() ? word : line + " " + word;
        if (line.empty() || context.textWidth(longer, kNoticeFont) <= width) {
            line = longer;
            at = end + 1;
            if (oneLine || !line.ends_with(':')) continue;
        }
        lines.push_back(std::move(line));
        line.clear();
    }
    if (lines.size() < kMostLines && !line.empty()) lines.push_back(std::move(line));
    if (lines.empty()) return lines;
    const bool cut = at < text.size();
    std::string& last = lines.back();
    if (!cut && context.textWidth(last, kNoticeFont) <= width) return lines;
    // Shorten by whole UTF-8 characters until the ellipsis fits.
    while (!last.empty() && context.textWidth(last + "…", kNoticeFont) > width) {
        for (unsigned char dropped = 0x80; !last.empty() && (dropped & 0xC0) == 0x80;) {
            dropped = static_cast<unsigned char>(last.back());
            last.pop_back();
        }
    }
    last += "…";
    return lines;
}

}  // namespace

void NoticeLabel::draw(graphics::DrawingContext& context) const {
    if (text_.empty()) return;
    const foundation::Rect b = bounds();
    const auto lines = wrap(context, text_, b.width() - 2 * kPadding);
    float widest = 0.0f;
    for (const auto& line : lines) widest = std::max(widest, context.textWidth(line, kNoticeFont));
    const float height = static_cast<float>(lines.size()) * kLineHeight + kPadding;
    context.fillRoundedRect({b.x(), b.y(), widest + 2 * kPadding, height}, 6.0f, kPlate);
    for (std::size_t i = 0; i < lines.size(); ++i)
        context.drawText(
            lines[i],
            {b.x() + kPadding, b.y() + kPadding / 2 + kLineHeight * static_cast<float>(i), widest,
             kLineHeight},
            kNoticeFont, look::kText, graphics::TextAlign::Left);
}

}  // namespace platform::ui
