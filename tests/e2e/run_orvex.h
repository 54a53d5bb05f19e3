#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

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

// Runs the real binary with the script as its commands; `environment` is prefixed as
// VAR=value words.
inline OrvexRun runOrvex(const std::string& arguments, const std::string& script,
                         const std::string& environment = "") {
    const auto folder = scratchFolder("run");
    const auto scriptFile = folder / "script.txt";
    std::ofstream(scriptFile) << script;
    const std::string command = "env SDL_AUDIODRIVER=dummy " + environment + " " +
                                ORVEX_TEST_BINARY_DIR "/orvex " + arguments + " --script " +
                                scriptFile.string() + " >" + (folder / "out").string() + " 2>" +
                                (folder / "err").string();
    OrvexRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(folder / "out");
    run.err = readFile(folder / "err");
    std::filesystem::remove_all(folder);
    return run;
}

inline std::vector<std::filesystem::path> picturesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    if (!std::filesystem::exists(folder)) return found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".jpg" || entry.path().extension() == ".png")
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace e2e
