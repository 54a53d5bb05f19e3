#pragma once

#include "platform/graphics/color.h"
#include "platform/graphics/drawing_context.h"

// The framework's own look, matching the interface pictures: dark plates, white text and
// one warm accent for what is chosen.
namespace platform::ui::look {

inline constexpr graphics::Color kAccent{1.0f, 0.788f, 0.251f, 1.0f};  // #FFC940
inline constexpr graphics::Color kInactive{0.56f, 0.56f, 0.58f, 1.0f};
inline constexpr graphics::Color kText = graphics::Color::white();
inline constexpr graphics::Color kBarTop{0.13f, 0.13f, 0.145f, 0.96f};
inline constexpr graphics::Color kBarBottom{0.05f, 0.05f, 0.06f, 0.96f};
inline constexpr graphics::Color kHairline{1.0f, 1.0f, 1.0f, 0.12f};
inline constexpr graphics::Color kPressedShade{0.0f, 0.0f, 0.0f, 0.3f};

inline constexpr graphics::Font kButtonTitle{16.0f, true};
inline constexpr graphics::Font kTabTitle{10.0f, true};
inline constexpr graphics::Font kBarTitle{17.0f, true};
inline constexpr graphics::Font kBarItemTitle{13.0f, true};

// A bar's dark body with a faint line along the edge that faces the content.
enum class Edge { Top, Bottom };
void drawBar(graphics::DrawingContext& context, foundation::Rect rect, Edge contentEdge);

// The rectangle of a picture's natural size centred in `rect`, shrunk to fit if too large.
foundation::Rect centredFit(foundation::Size natural, foundation::Rect rect);

}  // namespace platform::ui::look
