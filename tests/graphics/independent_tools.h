#pragma once

// Other programs' readings of our files: Python's own zlib, struct and hashlib, and exiftool,
// which share no code with our codecs (scripts/install-deps installs both).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What a PNG file holds, chunk by chunk, read with nothing but Python's zlib and struct.
struct PngWalk {
    bool ok = false;  // the walk reached the end chunk, every checksum right
    std::string error;
    std::vector<std::string> chunks;
    std::map<std::string, std::string> texts;
    int width = 0;
    int height = 0;
    std::size_t inflatedBytes = 0;  // the image data once inflated
};

inline PngWalk walkPng(const std::filesystem::path& png) {
    // Bytes out as they are: tEXt is Latin-1, which a text stream would re-encode.
    static const char* kScript = R"(
import struct, sys, zlib
out = sys.stdout.buffer.write
data = open(sys.argv[1], 'rb').read()
if data[:8] != b'\x89PNG\r\n\x1a\n': sys.exit('no signature')
pos, idat = 8, b''
while pos + 12 <= len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if len(body) != length: sys.exit('chunk past the end')
    crc, = struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])
    if zlib.crc32(kind + body) != crc: sys.exit('bad checksum in ' + kind.decode())
    out(b'chunk\t' + kind + b'\n')
    if kind == b'IHDR': out(b'size\t%d\t%d\n' % struct.unpack('>II', body[:8]))
    if kind == b'tEXt':
        key, text = body.split(b'\0', 1)
        out(b'text\t' + key + b'\t' + text + b'\n')
    if kind == b'IDAT': idat += body
    if kind == b'IEND':
        out(b'inflated\t%d\n' % len(zlib.decompress(idat)))
        sys.exit(0)
    pos += 12 + length
sys.exit('no end chunk')
)";
    PngWalk walk;
    const Run run = python(kScript, {png.string()});
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string kind;
        std::getline(fields, kind, '\t');
        if (kind == "chunk") {
            std::getline(fields, walk.chunks.emplace_back(), '\t');
        } else if (kind == "size") {
            fields >> walk.width >> walk.height;
        } else if (kind == "text") {
            std::string key, text;
            std::getline(fields, key, '\t');
            std::getline(fields, text);
            walk.texts.emplace(key, text);
        } else if (kind == "inflated") {
            fields >> walk.inflatedBytes;
        } else {
            walk.error += line;
        }
    }
    walk.ok = run.status == 0;
    return walk;
}

}  // namespace independent_tools
