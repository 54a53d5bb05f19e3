#include "platform/graphics/parallel_rows.h"

#include <algorithm>
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
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<std::size_t>(slices - 1));
    auto sliceStart = [&](int i) {
        return static_cast<int>(static_cast<long>(count) * i / slices);
    };
    for (int i = 1; i < slices; ++i)
        helpers.emplace_back([&, i] { work(sliceStart(i), sliceStart(i + 1)); });
    work(0, sliceStart(1));
}

}  // namespace platform::graphics
