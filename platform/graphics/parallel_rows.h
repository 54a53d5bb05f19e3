#pragma once

#include <functional>

namespace imaging {

// Runs work(begin, end) over slices of [0, count) on every core and returns when all are
// done. Slices are at least `grain` long, so that small jobs stay on the calling thread.
void parallelRows(int count, int grain, const std::function<void(int begin, int end)>& work);

}  // namespace imaging
