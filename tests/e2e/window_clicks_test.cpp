#include <gtest/gtest.h>

#include "platform/graphics/decode_image.h"
#include "run_orvex.h"

namespace e2e {
namespace {

using independent_tools::quoted;

// The real binary in a real window on an X server of its own, a virtual desktop of
// 1024 × 768 with the scale left to Orvex, driven with xdotool as a user's mouse and keyboard
// would; ImageMagick's import reads the window back as the server shows it. The server picks
// a free display itself (-displayfd). Says "touched" once a click on the live picture reached
// the screen, and how Orvex exited. Every step is bounded in time.
constexpr const char* kSession = R"sh(
orvex="$1"; folder="$2"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$folder/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb' EXIT
until [ -s "$folder/display" ] || ! kill -0 $xvfb; do sleep 0.05; done
export DISPLAY=":$(cat "$folder/display")"
# The screens' own lines, which the session follows, are debug lines.
SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software XDG_CACHE_HOME="$folder/cache" \
    timeout -s KILL 30 "$orvex" --verbose --camera test --album "$folder/album" 2>"$folder/log" >/dev/null &
orvex=$!
logged() { timeout 15 sh -c "until grep -q '$1' '$folder/log'; do sleep 0.05; done"; }
window=$(timeout 20 xdotool search --sync --onlyvisible --classname '^orvex$' | head -1)
logged Camera: && sleep 0.3  # the start-up timer has shown the live picture
import -window "$window" "png:$folder/window.png"
xdotool mousemove --window "$window" 240 300 click 1
logged 'TOUCH!' && echo touched
timeout 10 xdotool windowfocus --sync "$window" key ctrl+q
wait $orvex
echo "exit $?"
)sh";

TEST(WindowClicksTest, ShowsTheLivePictureTakesClicksAndQuitsOnControlQ) {
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (!independent_tools::available(tool))
            GTEST_SKIP() << "needs " << tool << " (scripts/install-deps installs it)";
    const independent_tools::ScratchFiles files;
    const auto session = independent_tools::run(
        "timeout 120 sh -c " + quoted(kSession) + " session " +
        quoted(ORVEX_TEST_BINARY_DIR "/orvex") + " " + quoted(files.folder().string()) + " 2>&1");
    const auto log = readFile(files.path("log"));
    EXPECT_NE(session.output.find("touched\n"), std::string::npos) << session.output << log;
    EXPECT_NE(session.output.find("exit 0\n"), std::string::npos) << session.output << log;
    // Opened at 1.5 pixels a point (2 would not fit 768 pixels), showing the live picture.
    const auto shown = platform::graphics::decodeImageFile(files.path("window.png"));
    ASSERT_TRUE(shown.ok()) << shown.error() << log;
    EXPECT_EQ(shown.value()->size(), (platform::foundation::Size{480, 720}));
    EXPECT_NE(shown.value()->pixels().pixel(240, 300) & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace e2e
