#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/run_loop.h"
#include "platform/media/camera_source.h"

namespace camera_test {

using platform::foundation::RunLoop;
using platform::graphics::ImagePtr;
using platform::media::CameraSource;
using platform::media::CameraState;

// Runs the loop in short slices until `done` holds or `limit` seconds pass.
inline bool runUntil(RunLoop& loop, const std::function<bool()>& done, double limit = 10.0) {
    const double end = loop.now() + limit;
    while (!done() && loop.now() < end) loop.runFor(0.02);
    return done();
}

// What a camera has told its user: the states in order, the previews, the pictures.
struct CameraLog {
    std::vector<std::pair<CameraState, std::string>> states;
    int previews = 0;
    ImagePtr lastPreview;
    std::vector<ImagePtr> pictures;
    int answers = 0;

    void start(CameraSource& camera) {
        camera.start(
            [this](ImagePtr preview) {
                ++previews;
                lastPreview = std::move(preview);
            },
            [this](CameraState state, const std::string& detail) {
                states.emplace_back(state, detail);
            });
    }
    void takePicture(CameraSource& camera) {
        camera.takePicture([this](ImagePtr picture) {
            ++answers;
            pictures.push_back(std::move(picture));
        });
    }
    bool reached(CameraState state) const {
        return !states.empty() && states.back().first == state;
    }
    int timesIn(CameraState state) const {
        return static_cast<int>(std::count_if(states.begin(), states.end(),
                                              [&](const auto& s) { return s.first == state; }));
    }
};

// A frame for a scripted camera: what matters is which one it is, not what it shows.
inline ImagePtr picture() {
    using platform::graphics::PixelBuffer;
    return std::make_shared<platform::graphics::Image>(
        std::make_shared<PixelBuffer>(4, 3, PixelBuffer::Format::Rgb24),
        platform::graphics::ImageOrientation::Up, 1.0f);
}

}  // namespace camera_test
