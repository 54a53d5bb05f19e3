#pragma once

#include <functional>

namespace platform::graphics {

// Runs work(begin, end) over slices of [0, count) on every core and returns when all are
// done. Slices are at least `grain` long, so that small jobs stay on the calling thread.
// The number of cores work is spread over.
int hardwareThreads();

void parallelRows(int count, int grain, const std::function<void(int begin, int end)>& work);

}  // namespace platform::graphics
