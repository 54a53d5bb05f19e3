#include "platform/media/photo_album.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>
#include <tuple>

#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/media/atomic_file_writer.h"
#include "platform/media/save_problem_notice.h"
#include "platform/media/services.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

namespace {

namespace fs = std::filesystem;
using namespace test_pictures;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::PhotoAlbum;
using platform::media::Services;
using Bytes = std::vector<std::uint8_t>;

ImagePtr solidPicture(int width, int height, std::uint32_t colour) {
    return Image::withPixels(solid(width, height, colour));
}

// One channel (0 blue, 1 green, 2 red) of the decoded file's pixel at (20, 15).
int channelIn(const fs::path& file, int c) {
    const auto decoded = platform::graphics::decodeImageFile(file);
    EXPECT_TRUE(decoded) << decoded.error();
    return decoded ? channel(decoded.value()->pixels().pixel(20, 15), c) : 0;
}

// Every file in the folder, hidden ones too, by name.
std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int linesWith(const SystemLog::Capture& log, const std::string& text) {
    return static_cast<int>(
        std::count_if(log.lines().begin(), log.lines().end(),
                      [&](const auto& line) { return line.find(text) != line.npos; }));
}

// A moment of 5 March 2024, local time.
std::chrono::system_clock::time_point marchFifth(int hour, int minute, int second) {
    std::tm local{};
    std::tie(local.tm_year, local.tm_mon, local.tm_mday) = std::tuple(124, 2, 5);
    std::tie(local.tm_hour, local.tm_min, local.tm_sec, local.tm_isdst) =
        std::tuple(hour, minute, second, -1);
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class PhotoAlbumTest : public testing::Test {
  protected:
    // Runs the loop until every save has completed.
    void finishSaves() { loop_.runFor(0.001); }

    // A folder that cannot be created, not even by the superuser: its parent is a file.
    // Removing the file named `blocker` lets it be created.
    fs::path blockedFolder(const std::string& blocker) {
        std::ofstream(root_ / blocker) << "a file, not a folder";
        return root_ / blocker / "folder";
    }

    independent_tools::ScratchFiles files_;
    const fs::path& root_ = files_.folder();
    RunLoop loop_{std::make_shared<VirtualClock>()};
};

TEST_F(PhotoAlbumTest, SavesCompleteOnTheLoopInTheirOrderEachInAFileOfItsOwn) {
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    const auto instant = std::chrono::system_clock::now();
    album.setWallClock([instant] { return instant; });  // every save in the same millisecond
    std::vector<std::pair<int, bool>> completed;        // which save, and whether it failed
    const auto loopThread = std::this_thread::get_id();
    bool onLoopThread = true;
    const std::uint32_t colours[] = {kRed, kBlue, 0, kGreen};  // no picture for the third
    for (int i = 0; i < 4; ++i) {
        album.save(colours[i] ? solidPicture(40, 30, colours[i]) : nullptr,
                   [&, i](const std::optional<std::string>& error) {
                       onLoopThread = onLoopThread && std::this_thread::get_id() == loopThread;
                       completed.emplace_back(i, error.has_value());
                   });
    }
    EXPECT_TRUE(completed.empty());  // nothing completes inside save()
    finishSaves();
    EXPECT_EQ(completed,
              (std::vector<std::pair<int, bool>>{{0, false}, {1, false}, {2, true}, {3, false}}));
    EXPECT_TRUE(onLoopThread);
    EXPECT_EQ(album.savedCount(), 3);
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);

    // Each file holds its own picture, as a JPEG the album can read back.
    const auto pictures = album.pictures();
    ASSERT_EQ(pictures.size(), 3u);
    const std::string first = pictures[0].filename().string();
    EXPECT_EQ(first.size(), std::string("IMG_20240101_120000_000.jpg").size()) << first;
    const std::string stem = first.substr(0, first.size() - 4);
    EXPECT_EQ(pictures[1].filename(), stem + "_1.jpg");
    EXPECT_EQ(pictures[2].filename(), stem + "_2.jpg");
    EXPECT_GT(channelIn(pictures[0], 2), 240);
    EXPECT_GT(channelIn(pictures[1], 0), 240);
    EXPECT_GT(channelIn(pictures[2], 1), 240);
    // Ordinary files, as the umask makes them: not left private like a temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(pictures[0]).permissions()) & 0777, 0666 & ~mask);
}

TEST_F(PhotoAlbumTest, SavedPhotosCarryTheirMomentSizeMakerAndAnUprightExifThumbnail) {
    // Stored sideways with four coloured quadrants, so that the turn shows.
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    album.setWallClock([] { return marchFifth(9, 30, 0); });
    album.save(std::make_shared<Image>(quadrants(300, 200), ImageOrientation::Right, 1), nullptr);
    finishSaves();
    ASSERT_EQ(album.pictures().size(), 1u);
    const fs::path saved = album.pictures()[0];
    const Bytes bytes = independent_tools::ScratchFiles::read(saved);

    // The photo is upright, and so is its thumbnail: a quarter turn clockwise of what was stored.
    const auto photo = platform::graphics::decodeJpeg(bytes);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo.value()->imageOrientation(), ImageOrientation::Up);
    expectQuadrants(photo.value()->pixels(), {kBlue, kRed, kWhite, kGreen});
    const auto embedded = platform::graphics::readExifThumbnail(bytes);
    ASSERT_TRUE(embedded);
    const auto thumbnail = platform::graphics::decodeJpeg(*embedded);
    ASSERT_TRUE(thumbnail) << thumbnail.error();
    EXPECT_EQ(dimensions(thumbnail.value()->pixels()), std::pair(107, 160));
    expectQuadrants(thumbnail.value()->pixels(), {kBlue, kRed, kWhite, kGreen});

    // The rest of the block, as galleries read it.
    const auto tags = independent_tools::run(
        "exiftool -s3 -DateTimeOriginal -CreateDate -OffsetTimeOriginal -ExifImageWidth "
        "-ExifImageHeight -Software -Orientation# " +
        independent_tools::quoted(saved.string()));
    ASSERT_EQ(tags.status, 0) << "exiftool is missing: run scripts/install-deps";
    const std::time_t moment = std::chrono::system_clock::to_time_t(marchFifth(9, 30, 0));
    std::tm local{};
    localtime_r(&moment, &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);  // +0100
    const std::string offset = std::string(zone, 3) + ":" + (zone + 3);
    EXPECT_EQ(tags.output, std::string("2024:03:05 09:30:00\n2024:03:05 09:30:00\n") + offset +
                               "\n200\n300\nOrvex " ORVEX_VERSION "\n1\n");
}

TEST_F(PhotoAlbumTest, ListsJpegAndPngPicturesOldestFirst) {
    const fs::path folder = root_ / "album";
    fs::create_directories(folder);
    const auto now = fs::file_time_type::clock::now();
    for (const auto& [name, age] : {std::pair{"b.PNG", 3},
                                    {"a.jpg", 1},
                                    {"notes.txt", 0},
                                    {".IMG_x.jpg.tmp1", 0},
                                    {"c.jpeg", 2}}) {
        std::ofstream(folder / name) << "x";
        fs::last_write_time(folder / name, now - std::chrono::hours(age));
    }
    PhotoAlbum album(folder, root_ / "fallback", loop_);
    EXPECT_EQ(album.pictures(),
              (std::vector<fs::path>{folder / "b.PNG", folder / "c.jpeg", folder / "a.jpg"}));
    album.setFolder(root_ / "empty");
    EXPECT_TRUE(album.pictures().empty());
}

TEST_F(PhotoAlbumTest, PhotosNoFolderTakesWaitInMemoryAndAreTriedAgainAtDoublingIntervals) {
    SystemLog::Capture log;
    PhotoAlbum album(blockedFolder("album-blocker"), blockedFolder("fallback-blocker"), loop_);
    std::vector<std::optional<std::string>> told;
    album.setProblemHandler([&](const auto& cause) { told.push_back(cause); });
    auto now = marchFifth(10, 0, 0);
    album.setWallClock([&now] { return now; });
    std::optional<std::string> result;
    album.save(solidPicture(64, 48, kRed), [&](const auto& error) { result = error; });
    finishSaves();
    // Beyond the memory set aside, the newest photograph is the one given up, and named.
    album.setMemoryBudget(1);
    now = marchFifth(10, 0, 1);
    album.save(solidPicture(64, 48, kBlue), nullptr);
    now = marchFifth(11, 0, 0);
    finishSaves();

    EXPECT_TRUE(result);
    EXPECT_EQ(std::tuple(album.savedCount(), album.pendingCount(), album.failedCount()),
              std::tuple(0, 1, 1));
    EXPECT_EQ(told, (std::vector<std::optional<std::string>>{std::strerror(ENOTDIR)}));
    EXPECT_EQ(linesWith(log, "IMG_20240305_100001_000.jpg is lost"), 1);
    // Attempts that keep failing write nothing and lose nothing, however long they go on.
    loop_.runFor(600);
    EXPECT_EQ(album.pendingCount(), 1);
    EXPECT_EQ(filesIn(root_), (std::vector<std::string>{"album-blocker", "fallback-blocker"}));

    fs::remove(root_ / "album-blocker");
    loop_.runFor(PhotoAlbum::kLongestRetryDelay + 1);
    EXPECT_EQ(std::tuple(album.savedCount(), album.pendingCount(), album.failedCount()),
              std::tuple(1, 0, 1));
    EXPECT_FALSE(album.saveProblem());
    EXPECT_EQ(told.size(), 2u);
    EXPECT_FALSE(told.back());
    const fs::path landed = root_ / "album-blocker" / "folder" / "IMG_20240305_100000_000.jpg";
    ASSERT_EQ(album.pictures(), std::vector<fs::path>{landed});
    EXPECT_GT(channelIn(landed, 2), 240);

    // The next outage starts again from the first pause, which doubles each time: tries 1, 3
    // and 7 s after the shot, so a folder that works again from 3.5 s on receives it at 7 s.
    fs::remove_all(root_ / "album-blocker");
    blockedFolder("album-blocker");
    album.setMemoryBudget(PhotoAlbum::kDefaultMemoryBudget);
    album.save(solidPicture(64, 48, kGreen), nullptr);
    loop_.runFor(3.5);
    fs::remove(root_ / "album-blocker");
    loop_.runFor(3.4);
    EXPECT_EQ(album.pendingCount(), 1);
    loop_.runFor(0.2);
    EXPECT_EQ(std::tuple(album.savedCount(), album.pendingCount()), std::tuple(2, 0));
}

// Closing writes every save still queued (the application quits right after a burst), makes a
// last attempt for the photos held in memory, and names each one it loses.
TEST_F(PhotoAlbumTest, ClosingWritesWhatIsQueuedAndNamesEveryPhotoItLoses) {
    SystemLog::Capture log;
    const fs::path freed = blockedFolder("freed");
    {
        PhotoAlbum kept(blockedFolder("blocked"), blockedFolder("fallback-blocker"), loop_);
        PhotoAlbum saved(freed, blockedFolder("fallback-blocker"), loop_);
        kept.setWallClock([] { return marchFifth(9, 30, 0); });
        kept.save(solidPicture(64, 48, kGreen), nullptr);
        saved.save(solidPicture(64, 48, kGreen), nullptr);
        finishSaves();
        ASSERT_EQ(kept.pendingCount(), 1);
        ASSERT_EQ(saved.pendingCount(), 1);
        fs::remove(root_ / "freed");
        for (int i = 0; i < 4; ++i) saved.save(solidPicture(1200, 900, kGreen), nullptr);
    }  // closed before any retry, or the loop, could run
    EXPECT_EQ(filesIn(freed).size(), 5u);
    EXPECT_EQ(linesWith(log, "IMG_20240305_093000_000.jpg is lost"), 1);
}

// A write that fails part-way (here past a file-size limit) leaves no half-written temporary
// file for a later start to find. In a child process, as the limit holds for the whole process.
TEST_F(PhotoAlbumTest, AWriteThatFailsLeavesNoTemporaryFile) {
    const fs::path folder = root_ / "album";
    fs::create_directories(folder);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const Bytes bytes(100000, 0x55);
        const auto written =
            platform::media::writeNewFileAtomically(folder, "photo", ".jpg", bytes);
        ::_exit(written.error.empty() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{});
}

TEST_F(PhotoAlbumTest, InterruptedSavesAreNamedWhenCompleteAndRemovedOtherwise) {
    const fs::path folder = root_ / "album", fallback = root_ / "fallback";
    fs::create_directories(folder);
    fs::create_directories(fallback);
    const Bytes photo = jpegOf(*solid(64, 48, kRed)), other = jpegOf(*solid(64, 48, kBlue));
    const Bytes half(photo.begin(), photo.begin() + static_cast<long>(photo.size() / 2));
    const auto write = [](const fs::path& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    write(folder / ".IMG_1.jpg.Ab12Cd", photo);
    write(folder / "IMG_2.jpg", other);
    write(folder / ".IMG_2.jpg.Qq11Rr", photo);  // never replaces the file of its name
    write(folder / ".IMG_3.jpg.Xy34Zw", half);
    write(folder / ".notes.txt.Ab12Cd", photo);  // not one of our photographs
    write(fallback / ".IMG_5.jpg.Fb00Aa", photo);
    // A save under way, in this process or another, holds its file: it is left alone.
    write(folder / ".IMG_6.jpg.Lk55Lk", half);
    const int writer = ::open((folder / ".IMG_6.jpg.Lk55Lk").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    SystemLog::Capture log;  // quiet
    PhotoAlbum album(root_ / "empty", fallback, loop_);
    album.setFolder(folder);  // as `--album` does at start-up
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{".IMG_6.jpg.Lk55Lk", ".notes.txt.Ab12Cd",
                                                         "IMG_1.jpg", "IMG_2.jpg", "IMG_2_1.jpg"}));
    const auto read = independent_tools::ScratchFiles::read;
    EXPECT_EQ(read(folder / "IMG_1.jpg"), photo);
    EXPECT_EQ(read(folder / "IMG_2.jpg"), other);
    EXPECT_EQ(read(folder / "IMG_2_1.jpg"), photo);
    EXPECT_EQ(filesIn(fallback), std::vector<std::string>{"IMG_5.jpg"});
    ::close(writer);
}

// Writers killed at different moments of a save, each once it has finished one, leave no
// half-written photo under a photo's name, nor anything under a temporary name that outlives
// the next listing.
TEST_F(PhotoAlbumTest, KilledWriterLeavesNoHalfWrittenPhoto) {
    const fs::path folder = root_ / "album";
    PhotoAlbum album(folder, root_ / "fallback", loop_);
    for (int delayMs : {0, 3, 7, 12, 20}) {
        const std::size_t before = album.pictures().size();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RunLoop loop(std::make_shared<VirtualClock>());
            PhotoAlbum writer(folder, root_ / "fallback", loop);
            for (;;) {
                writer.save(solidPicture(2000, 1500, 0xFF336699u), nullptr);
                loop.runFor(0.001);
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (album.pictures().size() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_GT(album.pictures().size(), before) << "the writer never got to save";
    }
    for (const fs::path& path : album.pictures()) {
        const auto decoded = platform::graphics::decodeImageFile(path);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded.value()->pixels().width(), 2000);
    }
    for (const std::string& name : filesIn(folder)) EXPECT_NE(name.front(), '.') << name;
}

// A test's world is made in one line, and its end leaves the next one a clean start: the
// photo it was saving is on disk, nothing it scheduled runs later, the clock is real again.
TEST(Services, AWorldEndsWithItsSavesDoneAndNothingLeftBehind) {
    const independent_tools::ScratchFiles files;
    const auto clock = std::make_shared<VirtualClock>();
    Services* outer = &Services::current();
    {
        Services world(
            {.clock = clock, .album = files.folder(), .albumFallback = files.path("kept")});
        EXPECT_EQ(&Services::current(), &world);
        EXPECT_EQ(&RunLoop::main().clock(), clock.get());
        RunLoop::main().scheduleTimer(5.0, false, [](auto&) {});
        world.album().save(std::make_shared<Image>(solid(8, 6, kRed), ImageOrientation::Right, 1),
                           [](const auto&) {});
    }
    EXPECT_EQ(&Services::current(), outer);
    EXPECT_NE(&RunLoop::main().clock(), clock.get());
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
    EXPECT_EQ(filesIn(files.folder()).size(), 1u);
}

// The notice follows the album's problem: one notice however often it changes, with the latest
// cause, gone once photos are saved again, and never in the way of a touch.
TEST(SaveProblemNotice, FollowsTheCauseAndGoesOnceSavesSucceed) {
    using platform::media::showSaveProblem;
    auto overlay = std::make_shared<platform::ui::View>(platform::foundation::Rect{0, 0, 320, 480});
    overlay->addSubview(std::make_shared<platform::ui::View>());
    showSaveProblem(*overlay, std::nullopt);
    EXPECT_EQ(overlay->subviews().size(), 1u);

    showSaveProblem(*overlay, "No space left on device");
    showSaveProblem(*overlay, "Read-only file system");
    ASSERT_EQ(overlay->subviews().size(), 2u);
    const auto notice = platform::media::saveProblemNotice(*overlay);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), "cannot save photos: Read-only file system");
    EXPECT_EQ(overlay->hitTest(notice->center()), overlay);

    showSaveProblem(*overlay, std::nullopt);
    EXPECT_EQ(overlay->subviews().size(), 1u);
    EXPECT_EQ(platform::media::saveProblemNotice(*overlay), nullptr);
}

}  // namespace