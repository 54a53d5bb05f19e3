#include "app/headless_driver.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "app/screen_state.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/decode_image.h"
#include "platform/media/camera_picker_service.h"

namespace app {

namespace {

// A command that cannot run says why; the script goes on.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::vector<std::string> splitWords(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

float number(const std::string& text, const char* what) {
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        throw CommandError(std::string(what) + " must be a number, not \"" + text + "\"");
    return value;
}

void expectArguments(const std::vector<std::string>& args, std::size_t count, const char* usage) {
    if (args.size() != count) throw CommandError(std::string("usage: ") + usage);
}

// Everything after the command word, so that file names may hold spaces.
std::string restOfLine(const std::string& line) {
    const auto start = line.find_first_not_of(" \t");
    const auto gap = line.find_first_of(" \t", start);
    if (gap == std::string::npos) return {};
    const auto rest = line.find_first_not_of(" \t", gap);
    if (rest == std::string::npos) return {};
    auto text = line.substr(rest);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

HeadlessDriver::HeadlessDriver(Application& application, std::ostream& out, std::ostream& errors,
                               Screenshot screenshot)
    : application_(application), out_(out), errors_(errors), screenshot_(std::move(screenshot)) {}

int HeadlessDriver::run(std::istream& input) {
    int lineNumber = 0;
    for (std::string line; std::getline(input, line);) {
        if (!execute(line, ++lineNumber)) break;
        if (platform::foundation::RunLoop::main().quitRequested()) break;
    }
    return 0;
}

void HeadlessDriver::fail(int lineNumber, const std::string& message) {
    errors_ << "orvex: line " << lineNumber << ": " << message << std::endl;
}

bool HeadlessDriver::execute(const std::string& line, int lineNumber) {
    const auto words = splitWords(line);
    if (words.empty() || words.front().starts_with("#")) return true;
    const std::string& command = words.front();
    const Arguments args(words.begin() + 1, words.end());
    if (command == "quit") return false;
    try {
        // Let whatever is due by now run before the command, as between two real touches.
        platform::foundation::RunLoop::main().runPending();
        if (command == "tap") {
            tap(args);
        } else if (command == "slide") {
            slide(args);
        } else if (command == "wait") {
            wait(args);
        } else if (command == "screenshot") {
            screenshot({restOfLine(line)});
        } else if (command == "state") {
            state(args);
        } else if (command == "pick") {
            pick({restOfLine(line)});
        } else if (command == "cancel") {
            cancel(args);
        } else {
            throw CommandError("unknown command \"" + command + "\"");
        }
    } catch (const CommandError& e) {
        fail(lineNumber, e.what());
    }
    return true;
}

void HeadlessDriver::tap(const Arguments& args) {
    expectArguments(args, 2, "tap X Y");
    const float x = number(args[0], "X");
    const float y = number(args[1], "Y");
    if (x < 0 || x >= 320 || y < 0 || y >= 480)
        throw CommandError("the point (" + args[0] + ", " + args[1] +
                           ") is off the 320 × 480 screen");
    application_.window().tap({x, y});
}

void HeadlessDriver::slide(const Arguments& args) {
    expectArguments(args, 1, "slide V");
    const float v = number(args[0], "V");
    const auto& slider = application_.captureScreen().bSlider;
    if (!slider || slider->isHidden() || !slider->window())
        throw CommandError("the zoom slider is not on the screen (it shows in the Zoom mode)");
    slider->slideTo(v);
}

void HeadlessDriver::wait(const Arguments& args) {
    expectArguments(args, 1, "wait S");
    const float seconds = number(args[0], "S");
    if (seconds < 0) throw CommandError("S must not be negative");
    platform::foundation::RunLoop::main().runFor(seconds);
}

void HeadlessDriver::screenshot(const Arguments& args) {
    if (args.empty() || args[0].empty()) throw CommandError("usage: screenshot FILE");
    if (!screenshot_) throw CommandError("no screen to take a screenshot of");
    awaitFirstCameraFrame();
    if (auto error = screenshot_(args[0])) throw CommandError(*error);
}

// A camera delivers in real time, also when the script's clock is virtual: a screenshot
// shows the camera's picture once it has one, waiting a few seconds at most for the first.
void HeadlessDriver::awaitFirstCameraFrame() {
    using Clock = std::chrono::steady_clock;
    const auto giveUp = Clock::now() + std::chrono::seconds(3);
    auto& loop = platform::foundation::RunLoop::main();
    const auto& camera = *application_.captureScreen().picker;
    while (camera.isAwaitingFirstFrame() && Clock::now() < giveUp) {
        if (!loop.runPending()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    loop.runPending();
}

void HeadlessDriver::state(const Arguments& args) {
    expectArguments(args, 0, "state");
    out_ << describeState(application_).dump() << std::endl;
}

void HeadlessDriver::pick(const Arguments& args) {
    if (args.empty() || args[0].empty()) throw CommandError("usage: pick FILE");
    if (topScreen(application_) != "library") throw CommandError("the photo library is not shown");
    auto decoded = platform::graphics::decodeImageFile(args[0]);
    if (!decoded) throw CommandError("cannot pick \"" + args[0] + "\": " + decoded.error());
    application_.captureScreen().pickerP->pickImage(decoded.value());
}

void HeadlessDriver::cancel(const Arguments& args) {
    expectArguments(args, 0, "cancel");
    if (topScreen(application_) != "library") throw CommandError("the photo library is not shown");
    application_.captureScreen().pickerP->cancel();
}

}  // namespace app
