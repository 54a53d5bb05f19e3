#include "app/headless_driver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "app/quoted_input.h"
#include "app/screen_state.h"
#include "platform/display/keyboard.h"
#include "platform/foundation/run_loop.h"
#include "platform/graphics/decode_image.h"
#include "platform/media/album_browser.h"
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

double preciseNumber(const std::string& text, const char* what) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        throw CommandError(std::string(what) + " must be a number, not " + quotedInput(text));
    return value;
}

float number(const std::string& text, const char* what) {
    const double value = preciseNumber(text, what);
    if (std::abs(value) > 1e6) throw CommandError(std::string(what) + " is out of range");
    return static_cast<float>(value);
}

// A duration between 0 and `most` seconds.
double seconds(const std::string& text, const char* what, double most, const char* mostText) {
    const double value = preciseNumber(text, what);
    if (value < 0 || value > most)
        throw CommandError(std::string(what) + " must be between 0 and " + mostText +
                           " seconds, not " + quotedInput(text));
    return value;
}

// Long enough for a time-lapse of several days in one step; the virtual clock keeps
// millisecond precision far beyond it.
constexpr double kLongestWait = 30 * 24 * 3600.0;
constexpr const char* kLongestWaitText = "2592000 (30 days)";
constexpr double kLongestDrag = 60;
// Messages quote their input shortened; this bounds what a library's message may echo.
constexpr std::size_t kLongestMessage = 400;

using platform::foundation::Point;

constexpr float kDefaultDragSeconds = 0.3f;
constexpr float kTouchReportsPerSecond = 60.0f;

// A point of the 320 × 480 screen, as a finger can touch it.
Point screenPoint(const std::string& xText, const std::string& yText) {
    const float x = number(xText, "X");
    const float y = number(yText, "Y");
    if (x < 0 || x >= 320 || y < 0 || y >= 480)
        throw CommandError("the point (" + quotedInput(xText) + ", " + quotedInput(yText) +
                           ") is off the 320 × 480 screen");
    return {x, y};
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

// What `type` types: everything after the command word and the blank that ends it, spaces
// kept, also at the end of the line.
std::string typedText(const std::string& line) {
    const auto start = line.find_first_not_of(" \t");
    const auto gap = line.find_first_of(" \t", start);
    if (gap == std::string::npos) return {};
    auto text = line.substr(gap + 1);
    if (!text.empty() && text.back() == '\r') text.pop_back();
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
    errors_ << "orvex: line " << lineNumber << ": " << printable(message, kLongestMessage)
            << std::endl;
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
        } else if (command == "drag") {
            drag(args);
        } else if (command == "pinch") {
            pinch(args);
        } else if (command == "wheel") {
            wheel(args);
        } else if (command == "key") {
            key(args);
        } else if (command == "type") {
            type(typedText(line));
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
            throw CommandError("unknown command " + quotedInput(command));
        }
    } catch (const CommandError& e) {
        fail(lineNumber, e.what());
    }
    return true;
}

void HeadlessDriver::tap(const Arguments& args) {
    expectArguments(args, 2, "tap X Y");
    application_.window().tap(screenPoint(args[0], args[1]));
}

// A finger moving at 60 touch reports a second, the application running between them as
// it would between a real finger's reports.
void HeadlessDriver::drag(const Arguments& args) {
    if (args.size() != 4 && args.size() != 5)
        throw CommandError("usage: drag X1 Y1 X2 Y2 [SECONDS]");
    const Point from = screenPoint(args[0], args[1]);
    const Point to = screenPoint(args[2], args[3]);
    const auto seconds =
        static_cast<float>(args.size() == 5 ? app::seconds(args[4], "SECONDS", kLongestDrag, "60")
                                            : kDefaultDragSeconds);
    auto& window = application_.window();
    auto& loop = platform::foundation::RunLoop::main();
    const int steps = std::max(1, static_cast<int>(std::lround(seconds * kTouchReportsPerSecond)));
    window.touchDown(from);
    for (int step = 1; step <= steps; ++step) {
        loop.runFor(seconds / static_cast<float>(steps));
        const float t = static_cast<float>(step) / static_cast<float>(steps);
        window.touchMoved({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
    }
    window.touchUp(to);
}

void HeadlessDriver::pinch(const Arguments& args) {
    expectArguments(args, 3, "pinch X Y SCALE");
    const Point centre = screenPoint(args[0], args[1]);
    const float scale = number(args[2], "SCALE");
    if (scale <= 0) throw CommandError("SCALE must be greater than 0");
    application_.window().magnify(centre, scale);
}

void HeadlessDriver::wheel(const Arguments& args) {
    if (args.size() != 3 && !(args.size() == 4 && args[3] == "ctrl"))
        throw CommandError("usage: wheel X Y DY [ctrl]");
    platform::ui::WheelEvent turn;
    turn.locationInWindow = screenPoint(args[0], args[1]);
    turn.dy = number(args[2], "DY");
    turn.ctrl = args.size() == 4;
    application_.window().scrollWheel(turn);
}

void HeadlessDriver::key(const Arguments& args) {
    expectArguments(args, 1, "key NAME");
    const std::string& name = args[0];
    if (name.size() == 1 && name[0] >= '1' && name[0] <= '9') {
        platform::display::pressDigit(application_.window(), name[0] - '0');
        return;
    }
    const auto pressed = platform::display::keyNamed(name);
    if (!pressed)
        throw CommandError("unknown key " + quotedInput(name) +
                           "; known: " + platform::display::keyNames() + ", 1-5");
    platform::display::pressKey(application_.window(), *pressed,
                                [this] { closeTopScreen(application_); });
}

void HeadlessDriver::type(const std::string& text) {
    if (text.empty()) throw CommandError("usage: type TEXT");
    auto& window = application_.window();
    if (!window.isEditingText()) throw CommandError("no text field is focused to type into");
    window.insertText(text);
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
    platform::foundation::RunLoop::main().runFor(
        seconds(args[0], "S", kLongestWait, kLongestWaitText));
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

// `pick N` touches the N-th cell of the album grid (0 = newest), as a finger would;
// `pick FILE` hands a picture file to the library as if it were in the album.
void HeadlessDriver::pick(const Arguments& args) {
    if (args.empty() || args[0].empty()) throw CommandError("usage: pick FILE | pick N");
    if (topScreen(application_) != "library") throw CommandError("the photo library is not shown");
    if (args[0].find_first_not_of("0123456789") == std::string::npos) {
        pickCell(args[0]);
        return;
    }
    auto decoded = platform::graphics::decodeImageFile(args[0]);
    if (!decoded)
        throw CommandError("cannot pick " + quotedInput(args[0]) + ": " + decoded.error());
    application_.captureScreen().pickerP->pickImage(decoded.value());
}

void HeadlessDriver::pickCell(const std::string& number) {
    const auto browser = application_.captureScreen().pickerP->albumBrowser();
    const std::size_t count = browser ? browser->count() : 0;
    const auto index = number.size() <= 9 ? std::stoul(number) : count;
    if (index >= count)
        throw CommandError("there is no photo " + quotedInput(number) + " in the album (it holds " +
                           std::to_string(count) + ")");
    const auto point = browser->touchPointOfCell(index);
    if (!point) throw CommandError("the album grid is not on the screen");
    application_.window().tap(*point);
}

void HeadlessDriver::cancel(const Arguments& args) {
    expectArguments(args, 0, "cancel");
    if (topScreen(application_) != "library") throw CommandError("the photo library is not shown");
    application_.captureScreen().pickerP->cancel();
}

}  // namespace app
