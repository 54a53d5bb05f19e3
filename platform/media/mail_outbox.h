#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace platform::media {

// The outbox keeps a copy of every message: queue/ holds those still to go, sent/ those a
// transport took. Its files and folders are the user's alone, as a mail client's are.
class MailOutbox {
  public:
    explicit MailOutbox(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::filesystem::path queueFolder() const { return folder_ / "queue"; }
    std::filesystem::path sentFolder() const { return folder_ / "sent"; }

    struct Kept {
        std::filesystem::path path;  // set when kept
        std::string error;           // set when not
    };
    // Writes the message into queue/ as <timestamp>-<random>.eml; a file under that name is
    // always complete.
    Kept queue(std::span<const std::uint8_t> message, std::chrono::system_clock::time_point date);
    // Moves a message from queue/ into sent/.
    Kept markSent(const std::filesystem::path& queued);
    // Whether a message could be queued now, creating the folders as needed.
    bool canQueue();

  private:
    std::filesystem::path folder_;
};

}  // namespace platform::media
