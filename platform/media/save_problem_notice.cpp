#include "platform/media/save_problem_notice.h"

#include "platform/foundation/bundle.h"
#include "platform/foundation/log.h"

namespace platform::media {

namespace {
// Tells our notice apart from other labels on the same overlay.
constexpr int kNoticeTag = 0x5A4E;
}  // namespace

std::string saveProblemText(const std::string& cause) {
    return foundation::detail::format(
        foundation::Bundle::main().localizedStringForKey("cannot save photos: %@"), cause);
}

std::shared_ptr<ui::NoticeLabel> saveProblemNotice(const ui::View& overlay) {
    for (const auto& view : overlay.subviews())
        if (view->tag() == kNoticeTag)
            if (auto notice = std::dynamic_pointer_cast<ui::NoticeLabel>(view)) return notice;
    return nullptr;
}

void showSaveProblem(ui::View& overlay, const std::optional<std::string>& cause) {
    auto notice = saveProblemNotice(overlay);
    if (!cause) {
        if (notice) notice->removeFromSuperview();
        return;
    }
    if (!notice) {
        notice = std::make_shared<ui::NoticeLabel>(kSaveProblemNoticeFrame);
        notice->setTag(kNoticeTag);
        overlay.addSubview(notice);
    }
    notice->setText(saveProblemText(*cause));
}

}  // namespace platform::media
