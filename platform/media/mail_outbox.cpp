#include "platform/media/mail_outbox.h"

#include "platform/media/atomic_file_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>

namespace platform::media {

namespace fs = std::filesystem;

namespace {

std::string describe(const std::string& what, const fs::path& path, int error) {
    return what + " " + path.string() + ": " + std::strerror(error);
}

std::string timestamp(std::chrono::system_clock::time_point date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::string randomPart() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(generator()));
    return text;
}

}  // namespace

MailOutbox::Kept MailOutbox::queue(std::span<const std::uint8_t> message,
                                   std::chrono::system_clock::time_point date) {
    auto written = writeNewFileAtomically(queueFolder(), timestamp(date) + "-" + randomPart(),
                                          ".eml", message, FileAccess::OwnerOnly);
    return {written.path, written.error};
}

MailOutbox::Kept MailOutbox::markSent(const fs::path& queued) {
    if (auto error = createFolders(sentFolder(), FileAccess::OwnerOnly)) return {{}, *error};
    const fs::path target = sentFolder() / queued.filename();
    if (::renameat2(AT_FDCWD, queued.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0)
        return {{}, describe("cannot move", queued, errno)};
    return {target, {}};
}

bool MailOutbox::canQueue() {
    if (createFolders(queueFolder(), FileAccess::OwnerOnly)) return false;
    std::string probe = (queueFolder() / ".probe.XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace platform::media
