#include "imaging/fill_rect.h"

namespace imaging {

using platform::foundation::Rect;
using platform::foundation::Size;

Rect aspectFillRect(Size source, Size target) {
    if (source.width == target.width && source.height == target.height)
        return {0.0f, 0.0f, target.width, target.height};
    const float wf = target.width / source.width;
    const float hf = target.height / source.height;
    if (wf > hf) {
        const float scaledHeight = source.height * wf;
        return {0.0f, (target.height - scaledHeight) * 0.5f, source.width * wf, scaledHeight};
    }
    const float scaledWidth = source.width * hf;
    const float x = wf < hf ? (target.width - scaledWidth) * 0.5f : 0.0f;
    return {x, 0.0f, scaledWidth, source.height * hf};
}

}  // namespace imaging
