#include "platform/graphics/parallel_rows.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace platform::graphics {

int hardwareThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void parallelRows(int count, int grain, const std::function<void(int, int)>& work) {
    if (count <= 0) return;
    const int slices = std::clamp(count / std::max(1, grain), 1, hardwareThreads());
    if (slices == 1) {
        work(0, count);
        return;
    }
    auto sliceStart = [&](int i) {
        return static_cast<int>(static_cast<long>(count) * i / slices);
    };
    // Declared after what the helpers use, so that they are joined before it goes.
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<std::size_t>(slices - 1));
    int started = 1;
    try {
        for (; started < slices; ++started)
            helpers.emplace_back([&, i = started] { work(sliceStart(i), sliceStart(i + 1)); });
    } catch (const std::system_error&) {
        // No thread to be had (a process or memory limit): the rest is done here.
    }
    work(0, sliceStart(1));
    if (started < slices) work(sliceStart(started), count);
}

}  // namespace platform::graphics
