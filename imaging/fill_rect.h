#pragma once

#include "platform/foundation/geometry.h"

namespace imaging {

// Where a picture of size `source` is drawn so that it covers `target` with its proportions
// kept: one factor for both axes, the excess cut equally from both ends of the longer axis
// (the offset is never positive). Equal sizes are drawn as they are.
platform::foundation::Rect aspectFillRect(platform::foundation::Size source,
                                          platform::foundation::Size target);

}  // namespace imaging
