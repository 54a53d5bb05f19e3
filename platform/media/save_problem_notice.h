#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/notice_label.h"

namespace platform::media {

// Where the notice lies on a full-screen overlay: at the top left, clear of the flash button
// (top right) and of the sidebar (from y 40) and the tab bar.
inline constexpr foundation::Rect kSaveProblemNoticeFrame{8, 6, 226, 32};

// "cannot save photos: <cause>" in the user's language.
std::string saveProblemText(const std::string& cause);

// Puts the notice on the overlay, or updates it, while there is a cause; takes it off when
// there is none.
void showSaveProblem(ui::View& overlay, const std::optional<std::string>& cause);

// The notice the overlay shows, if any.
std::shared_ptr<ui::NoticeLabel> saveProblemNotice(const ui::View& overlay);

}  // namespace platform::media
