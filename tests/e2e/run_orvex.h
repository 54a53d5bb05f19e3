#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/graphics/independent_tools.h"

namespace e2e {

struct OrvexRun {
    int status = -1;
    std::string out;
    std::string err;

    // The JSON lines the `state` command printed, in order.
    std::vector<nlohmann::json> states() const {
        std::vector<nlohmann::json> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line.front() == '{') lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
};

inline std::filesystem::path scratchFolder(const std::string& name) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("orvex-e2e-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How often the text occurs in the output.
inline int occurrences(const std::string& output, const std::string& text) {
    int count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
        ++count;
    return count;
}

// Runs the real binary with the script as its commands; `environment` is prefixed as
// VAR=value words.
inline OrvexRun runOrvex(const std::string& arguments, const std::string& script,
                         const std::string& environment = "") {
    const auto folder = scratchFolder("run");
    std::ofstream(folder / "script") << script;
    const auto run =
        independent_tools::run("env SDL_AUDIODRIVER=dummy " + environment +
                               " " ORVEX_TEST_BINARY_DIR "/orvex " + arguments + " --script " +
                               (folder / "script").string() + " 2>" + (folder / "err").string());
    OrvexRun result{run.status, run.output, readFile(folder / "err")};
    std::filesystem::remove_all(folder);
    return result;
}

// A test's own scratch folder, which holds the album and the cache and state folders of its
// runs.
class OrvexTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove_all(folder); }
    // Headless on the virtual clock with the test camera; the options follow the album.
    OrvexRun run(const std::string& script, const std::string& options = "",
                 const std::string& environment = "") {
        return runOrvex(
            "--headless --virtual-clock --camera test --album " + album.string() + " " + options,
            script,
            "XDG_CACHE_HOME=" + (folder / "cache").string() +
                " XDG_STATE_HOME=" + (folder / "state").string() + " " + environment);
    }
    std::filesystem::path folder =
        scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::path album = folder / "album";
};

// The files in a folder, sorted; none if there is no such folder.
inline std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace e2e
