#pragma once

// Other programs' readings of our files: zlib on its own, Python's hashlib and exiftool, which
// share no code with our codecs (scripts/install-deps installs Python and exiftool).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace independent_tools {

// A folder of the test's own for files that other programs read and write.
class ScratchFiles {
  public:
    explicit ScratchFiles(const std::string& name)
        : folder_(std::filesystem::temp_directory_path() /
                  ("orvex-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    // A folder named after the running test.
    ScratchFiles()
        : ScratchFiles(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
    const std::filesystem::path& folder() const { return folder_; }
    ~ScratchFiles() { std::filesystem::remove_all(folder_); }
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    std::filesystem::path write(const std::string& name,
                                const std::vector<std::uint8_t>& bytes) const {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::filesystem::path path(const std::string& name) const { return folder_ / name; }
    static std::vector<std::uint8_t> read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

  private:
    std::filesystem::path folder_;
};

struct Run {
    int status = -1;
    std::string output;
};

inline std::string quoted(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline Run run(const std::string& command) {
    Run result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool available(const std::string& tool) {
    return run("command -v " + tool + " >/dev/null 2>&1").status == 0;
}

inline Run python(const std::string& script, const std::vector<std::string>& arguments) {
    // Debian's own interpreter where there is one: a version manager's shim in front of it
    // costs half a second a call.
    const bool system = std::filesystem::exists("/usr/bin/python3");
    std::string command = (system ? "/usr/bin/python3 -c " : "python3 -c ") + quoted(script);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    return run(command + " 2>&1");
}

inline std::string md5Hex(const std::string& text) {
    const Run sum =
        python("import hashlib,sys; print(hashlib.md5(sys.argv[1].encode()).hexdigest())", {text});
    return sum.status == 0 ? sum.output.substr(0, sum.output.find('\n')) : "python3 failed";
}

// What a PNG file holds, chunk by chunk, read with nothing but zlib.
struct PngWalk {
    bool ok = false;  // the walk reached the end chunk, every checksum right
    std::string error;
    std::vector<std::string> chunks{};
    std::map<std::string, std::string> texts{};  // tEXt is Latin-1: its bytes as they are
    int width = 0;
    int height = 0;
    std::size_t inflatedBytes = 0;  // the image data once inflated
};

inline PngWalk walkPng(const std::filesystem::path& png) {
    const std::vector<std::uint8_t> data = ScratchFiles::read(png);
    const auto number = [&](std::size_t at) {
        return std::uint32_t{data[at]} << 24 | data[at + 1] << 16 | data[at + 2] << 8 |
               data[at + 3];
    };
    const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() < 8 || !std::equal(signature, signature + 8, data.begin()))
        return {.error = "no signature"};
    PngWalk walk{.error = "no end chunk"};
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 12 <= data.size() && number(at) <= data.size() - at - 12;
         at += 12 + number(at)) {
        const std::size_t length = number(at);
        const auto body = data.begin() + static_cast<std::ptrdiff_t>(at + 8), end = body + length;
        const std::string& type = walk.chunks.emplace_back(body - 4, body);
        if (crc32(0, &data[at + 4], static_cast<uInt>(4 + length)) != number(at + 8 + length))
            return {.error = "bad checksum in " + type};
        if (type == "IHDR") {
            walk.width = static_cast<int>(number(at + 8));
            walk.height = static_cast<int>(number(at + 12));
        }
        const auto zero = std::find(body, end, 0);
        if (type == "tEXt" && zero != end)
            walk.texts.emplace(std::string(body, zero), std::string(zero + 1, end));
        if (type == "IDAT") idat.insert(idat.end(), body, end);
        if (type != "IEND") continue;
        std::vector<std::uint8_t> rows(16u << 20);
        uLongf size = rows.size();
        walk.ok = uncompress(rows.data(), &size, idat.data(), idat.size()) == Z_OK;
        walk.inflatedBytes = walk.ok ? size : 0;
        walk.error = walk.ok ? "" : "image data that do not inflate";
        break;
    }
    return walk;
}

}  // namespace independent_tools
