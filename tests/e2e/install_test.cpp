#include <gtest/gtest.h>

#include <regex>

#include "run_orvex.h"

namespace e2e {
namespace {

using independent_tools::quoted;
using independent_tools::run;

constexpr const char* kAppId = "org.orvex.Orvex";

// One installation into a scratch prefix, shared by the tests of this file.
class InstallTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = scratchFolder("install-prefix");
        const auto install = run("cmake --install " + quoted(ORVEX_TEST_BINARY_DIR) + " --prefix " +
                                 quoted(prefix_.string()) + " 2>&1");
        installed_ = install.status == 0;
        if (!installed_) ADD_FAILURE() << install.output;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(prefix_); }
    void SetUp() override { ASSERT_TRUE(installed_); }

    static std::filesystem::path installed(const std::string& relative) {
        return prefix_ / relative;
    }

    static inline std::filesystem::path prefix_;
    static inline bool installed_ = false;
};

TEST_F(InstallTest, TheInstalledProgramRunsFromElsewhereOnItsOwnResources) {
    const auto elsewhere = scratchFolder("install-elsewhere");
    const auto album = elsewhere / "album";
    const auto script = elsewhere / "script";
    std::ofstream(script) << "wait 0.2\ntap 160 200\nwait 3\nscreenshot shot.png\nstate\n";
    const auto result =
        run("cd " + quoted(elsewhere.string()) + " && env -u ORVEX_RESOURCES LANGUAGE=de " +
            "SDL_AUDIODRIVER=dummy " + quoted(installed("bin/orvex").string()) +
            " --headless --verbose --virtual-clock --camera test --album " +
            quoted(album.string()) + " --script " + quoted(script.string()) + " 2>&1");
    EXPECT_EQ(result.status, 0) << result.output;
    const auto share = installed("share/orvex").string();
    EXPECT_NE(result.output.find("resources: " + share + "; translations: " + share + "/locale"),
              std::string::npos)
        << result.output;
    EXPECT_TRUE(std::filesystem::exists(share + "/locale/de/LC_MESSAGES/orvex.mo"));
    EXPECT_EQ(filesIn(album).size(), 1u);
    EXPECT_GT(std::filesystem::file_size(elsewhere / "shot.png"), 10000u);
    EXPECT_EQ(result.output.find("cannot"), std::string::npos) << result.output;
    std::filesystem::remove_all(elsewhere);
}

// What a desktop looks for is where it looks and valid; nothing points into the source or
// build tree.
TEST_F(InstallTest, LauncherMetainfoIconsAndManualAreThoseADesktopExpects) {
    const auto found = run("grep -rlI -e " + quoted(ORVEX_TEST_SOURCE_DIR) + " -e " +
                           quoted(ORVEX_TEST_BINARY_DIR) + " " + quoted(prefix_.string()));
    EXPECT_EQ(found.output, "");
    const auto desktop = installed(std::string("share/applications/") + kAppId + ".desktop");
    const auto metainfo = installed(std::string("share/metainfo/") + kAppId + ".metainfo.xml");
    const auto validate = run("desktop-file-validate " + quoted(desktop.string()) + " 2>&1");
    EXPECT_EQ(validate.status, 0) << validate.output;
    EXPECT_EQ(validate.output, "");
    const auto appstream =
        run("appstreamcli validate --no-net " + quoted(metainfo.string()) + " 2>&1");
    EXPECT_EQ(appstream.status, 0) << appstream.output;

    // The newest release named in the metainfo is the version the program reports.
    const auto version = run(quoted(installed("bin/orvex").string()) + " --version");
    const std::string metainfoText = readFile(metainfo);
    std::smatch release;
    ASSERT_TRUE(
        std::regex_search(metainfoText, release, std::regex("<release version=\"([^\"]+)\"")));
    EXPECT_EQ(version.output, "orvex " + release[1].str() + "\n");

    EXPECT_TRUE(std::filesystem::exists(
        installed(std::string("share/icons/hicolor/scalable/apps/") + kAppId + ".svg")));
    for (const int size : {16, 32, 48, 128, 256}) {
        const auto icon = installed("share/icons/hicolor/" + std::to_string(size) + "x" +
                                    std::to_string(size) + "/apps/" + kAppId + ".png");
        const auto identify = run("identify -format '%w %h' " + quoted(icon.string()));
        EXPECT_EQ(identify.output, std::to_string(size) + " " + std::to_string(size)) << icon;
    }

    // The manual renders cleanly and names every option.
    const auto manual = installed("share/man/man1/orvex.1");
    const auto render =
        run("LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 " + quoted(manual.string()) + " 2>&1");
    EXPECT_EQ(render.status, 0);
    EXPECT_EQ(render.output, "");

    // Where the manual describes an option: the line after a list item's .TP.
    const std::string manualText = readFile(manual);
    const auto help = run(quoted(installed("bin/orvex").string()) + " --help");
    const std::regex option("--[a-z][a-z-]*");
    int options = 0;
    for (std::sregex_iterator it(help.output.begin(), help.output.end(), option), end; it != end;
         ++it, ++options) {
        // The manual writes each hyphen of an option as \-.
        const std::regex described("\n\\.TP\n.*" +
                                   std::regex_replace(it->str(), std::regex("-"), "\\\\-") +
                                   "(?![a-z]|\\\\-)");
        EXPECT_TRUE(std::regex_search(manualText, described))
            << it->str() << " is not described in the manual";
    }
    EXPECT_GT(options, 10);
}

}  // namespace
}  // namespace e2e
