#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/media/atomic_file_writer.h"
#include "platform/media/photo_album.h"

namespace {

namespace fs = std::filesystem;
using platform::graphics::Image;
using platform::graphics::PixelBuffer;

class AlbumSavingTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("orvex-album-saving-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static std::vector<fs::path> filesIn(const fs::path& folder) {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) files.push_back(entry);
        return files;
    }

    fs::path root_;
};

// Photographs still waiting to be written when the album closes (the application quits
// right after a burst) are written before it is gone, never dropped.
TEST_F(AlbumSavingTest, SavesStillQueuedAtClosingAreWritten) {
    constexpr int kPhotos = 4;
    {
        platform::foundation::RunLoop loop(std::make_shared<platform::foundation::VirtualClock>());
        platform::media::PhotoAlbum album(root_ / "album", root_ / "fallback", loop);
        auto pixels = std::make_shared<PixelBuffer>(1200, 900, PixelBuffer::Format::Rgb24);
        for (int i = 0; i < kPhotos; ++i) album.save(Image::withPixels(pixels), nullptr);
    }
    EXPECT_EQ(filesIn(root_ / "album").size(), std::size_t{kPhotos});
    EXPECT_TRUE(filesIn(root_ / "fallback").empty());
}

// While no folder takes photographs they wait in memory and are tried again after 1 s, then
// at twice the wait each time: 1, 3, 7 s after the shot. A folder that works again from
// 3.5 s on receives the photo at the try at 7 s.
TEST_F(AlbumSavingTest, PhotosWaitingForAFolderAreTriedAgainAtDoublingIntervals) {
    std::ofstream(root_ / "blocker") << "a file, not a folder";
    std::ofstream(root_ / "fallback-blocker") << "a file, not a folder";
    platform::foundation::RunLoop loop(std::make_shared<platform::foundation::VirtualClock>());
    platform::media::PhotoAlbum album(root_ / "blocker" / "album",
                                      root_ / "fallback-blocker" / "album", loop);
    album.save(Image::withPixels(std::make_shared<PixelBuffer>(64, 48, PixelBuffer::Format::Rgb24)),
               nullptr);
    loop.runFor(3.5);
    ASSERT_EQ(album.pendingCount(), 1);
    fs::remove(root_ / "blocker");
    loop.runFor(3.4);
    EXPECT_EQ(album.savedCount(), 0);
    loop.runFor(0.1);
    EXPECT_EQ(album.savedCount(), 1);
    EXPECT_EQ(filesIn(root_ / "blocker" / "album").size(), 1u);
}

// A write that fails part-way (here past a file-size limit) leaves nothing behind: no
// half-written temporary file for a later start to find. In a child process, as the limit
// holds for the whole process.
TEST_F(AlbumSavingTest, AWriteThatFailsLeavesNoTemporaryFile) {
    const fs::path folder = root_ / "album";
    fs::create_directories(folder);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<std::uint8_t> bytes(100000, 0x55);
        const auto written =
            platform::media::writeNewFileAtomically(folder, "photo", ".jpg", bytes);
        ::_exit(written.error.empty() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
    for (const fs::path& left : filesIn(folder)) ADD_FAILURE() << "left behind: " << left;
}

}  // namespace
