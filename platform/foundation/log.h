#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform::foundation {

// How much an entry matters. Debug entries are the developer's and shown only on request;
// warnings and errors are always shown, marked as such.
enum class LogLevel { Debug, Info, Warning, Error };

// The system log: one line per entry on standard error, "orvex[PID]: message", or
// "orvex[PID]: warning: message" and "orvex[PID]: error: message".
// Formats are printf's, with "%@" standing for a string argument.
class SystemLog {
  public:
    static void write(LogLevel level, const std::string& message);
    static void write(const std::string& message) { write(LogLevel::Info, message); }
    // Entries below this level are not shown (they are still captured). Default: Info.
    static void setThreshold(LogLevel level);
    static LogLevel threshold();

    // Every entry written while a capture exists is also kept by it, at any level (for tests).
    class Capture {
      public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;
        const std::vector<std::string>& lines() const { return lines_; }
        bool contains(std::string_view line) const;
        int count(std::string_view line) const;
        void clear() { lines_.clear(); }

      private:
        friend class SystemLog;
        std::vector<std::string> lines_;
        Capture* previous_ = nullptr;
    };
};

namespace detail {
// Rewrites "%@" into "%s" and strings into C strings, then formats with printf.
template <class... Args>
std::string format(std::string_view format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return std::string(format);
    } else {
        std::string f(format);
        for (std::size_t at = f.find("%@"); at != std::string::npos; at = f.find("%@", at + 2))
            f[at + 1] = 's';
        std::vector<std::string> keep;
        keep.reserve(sizeof...(Args));
        auto convert = [&keep](const auto& value) {
            using V = std::decay_t<decltype(value)>;
            if constexpr (std::is_convertible_v<const V&, std::string_view>) {
                keep.emplace_back(std::string_view(value));
                return keep.back().c_str();
            } else {
                return value;
            }
        };
        const int size = std::snprintf(nullptr, 0, f.c_str(), convert(args)...);
        if (size <= 0) return {};
        keep.clear();
        std::string out(static_cast<std::size_t>(size) + 1, '\0');
        std::snprintf(out.data(), out.size(), f.c_str(), convert(args)...);
        out.resize(static_cast<std::size_t>(size));
        return out;
    }
}
}  // namespace detail

template <class... Args>
void log(std::string_view format, const Args&... args) {
    SystemLog::write(detail::format(format, args...));
}

template <class... Args>
void logDebug(std::string_view format, const Args&... args) {
    SystemLog::write(LogLevel::Debug, detail::format(format, args...));
}

template <class... Args>
void logInfo(std::string_view format, const Args&... args) {
    SystemLog::write(LogLevel::Info, detail::format(format, args...));
}

template <class... Args>
void logWarning(std::string_view format, const Args&... args) {
    SystemLog::write(LogLevel::Warning, detail::format(format, args...));
}

template <class... Args>
void logError(std::string_view format, const Args&... args) {
    SystemLog::write(LogLevel::Error, detail::format(format, args...));
}

}  // namespace platform::foundation
