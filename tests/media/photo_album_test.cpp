#include "platform/media/photo_album.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>
#include <tuple>

#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_thumbnail.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/test_pictures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace test_pictures;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::PhotoAlbum;
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
    for (const auto& entry : fs::directory_iterator(folder))
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

TEST_F(PhotoAlbumTest, SavesInTheSameMillisecondGetTheirOwnFiles) {
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    const auto instant = std::chrono::system_clock::now();
    album.setWallClock([instant] { return instant; });
    std::vector<std::optional<std::string>> results;
    for (const std::uint32_t colour : {kRed, kBlue})
        album.save(solidPicture(40, 30, colour),
                   [&](const auto& error) { results.push_back(error); });
    finishSaves();

    EXPECT_EQ(results, (std::vector<std::optional<std::string>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(album.savedCount(), 2);
    const auto pictures = album.pictures();
    ASSERT_EQ(pictures.size(), 2u);
    const std::string first = pictures[0].filename().string();
    EXPECT_EQ(first.size(), std::string("IMG_20240101_120000_000.jpg").size()) << first;
    EXPECT_EQ(pictures[1].filename().string(), first.substr(0, first.size() - 4) + "_1.jpg");
    // Each file holds its own picture, as a JPEG the album can read back.
    EXPECT_GT(channelIn(pictures[0], 2), 240);
    EXPECT_GT(channelIn(pictures[1], 0), 240);
    // Ordinary files, as the umask makes them: not left private like a temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(pictures[0]).permissions()) & 0777, 0666 & ~mask);
}

TEST_F(PhotoAlbumTest, SavedPhotosCarryTheirMomentSizeMakerAndAnUprightExifThumbnail) {
    // Stored sideways with four coloured quadrants, so that the turn shows in the thumbnail.
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    album.setWallClock([] { return marchFifth(9, 30, 0); });
    const auto sideways = std::make_shared<Image>(quadrants(300, 200), ImageOrientation::Right, 1);
    album.save(sideways, nullptr);
    finishSaves();
    ASSERT_EQ(album.pictures().size(), 1u);
    const fs::path saved = album.pictures()[0];
    const Bytes bytes = independent_tools::ScratchFiles::read(saved);

    const auto embedded = platform::graphics::readExifThumbnail(bytes);
    ASSERT_TRUE(embedded);
    const auto thumbnail = platform::graphics::decodeJpeg(*embedded);
    ASSERT_TRUE(thumbnail) << thumbnail.error();
    const PixelBuffer& pixels = thumbnail.value()->pixels();
    EXPECT_EQ(pixels.height(), 160);
    EXPECT_EQ(pixels.width(), std::lround(200 * 160 / 300.0));
    // The photo is upright, and so is its thumbnail: a quarter turn clockwise of what was stored.
    const auto photo = platform::graphics::decodeJpeg(bytes);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo.value()->imageOrientation(), ImageOrientation::Up);
    const PixelBuffer& full = photo.value()->pixels();
    expectQuadrants(pixels, {kBlue, kRed, kWhite, kGreen});
    expectQuadrants(full, {kBlue, kRed, kWhite, kGreen});
    // Another reader finds the same thumbnail, and the rest of the block as galleries read it.
    const auto extracted = independent_tools::run("exiftool -b -ThumbnailImage " +
                                                  independent_tools::quoted(saved.string()));
    ASSERT_EQ(extracted.status, 0) << "exiftool is missing: run scripts/install-deps";
    EXPECT_EQ(Bytes(extracted.output.begin(), extracted.output.end()), *embedded);
    const auto tags = independent_tools::run(
        "exiftool -s3 -DateTimeOriginal -CreateDate -OffsetTimeOriginal -ExifImageWidth "
        "-ExifImageHeight -Software -Orientation# " +
        independent_tools::quoted(saved.string()));
    const std::time_t moment = std::chrono::system_clock::to_time_t(marchFifth(9, 30, 0));
    std::tm local{};
    localtime_r(&moment, &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);  // +0100
    const std::string offset = std::string(zone, 3) + ":" + (zone + 3);
    EXPECT_EQ(tags.output, std::string("2024:03:05 09:30:00\n2024:03:05 09:30:00\n") + offset +
                               "\n200\n300\nOrvex " ORVEX_VERSION "\n1\n");

    // The block is all that was added: the picture's own data is what the encoder made.
    ASSERT_EQ(bytes.at(3), 0xE1);  // the EXIF segment follows the start marker
    const std::size_t segment = 2 + (std::size_t{bytes[4]} << 8 | bytes[5]);
    Bytes withoutExif(bytes.begin(), bytes.begin() + 2);
    withoutExif.insert(withoutExif.end(), bytes.begin() + 2 + static_cast<long>(segment),
                       bytes.end());
    EXPECT_EQ(withoutExif, jpegOf(imaging::scaleAndRotateImage(*sideways)->pixels(), 95));
}

TEST_F(PhotoAlbumTest, CompletionsRunOnTheLoopInTheOrderOfTheSaves) {
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    std::vector<std::pair<int, bool>> completed;  // which save, and whether it failed
    const auto loopThread = std::this_thread::get_id();
    bool onLoopThread = true;
    for (int i = 0; i < 5; ++i) {
        album.save(i == 2 ? nullptr : solidPicture(300, 200, 0xFF808080u),
                   [&, i](const std::optional<std::string>& error) {
                       onLoopThread = onLoopThread && std::this_thread::get_id() == loopThread;
                       completed.emplace_back(i, error.has_value());
                   });
    }
    EXPECT_TRUE(completed.empty());  // nothing completes inside save()
    finishSaves();
    EXPECT_EQ(completed, (std::vector<std::pair<int, bool>>{
                             {0, false}, {1, false}, {2, true}, {3, false}, {4, false}}));
    EXPECT_TRUE(onLoopThread);
    EXPECT_EQ(album.savedCount(), 4);
    EXPECT_EQ(album.pictures().size(), 4u);  // the absent picture wrote nothing
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
}

TEST_F(PhotoAlbumTest, UnwritableFolderKeepsThePhotoInTheFallback) {
    const fs::path folder = blockedFolder("file");
    SystemLog::Capture log;
    PhotoAlbum album(folder, root_ / "fallback", loop_);
    std::optional<std::string> result = "not completed";
    album.save(solidPicture(64, 48, kGreen), [&](const auto& error) { result = error; });
    finishSaves();
    ASSERT_TRUE(result.has_value());
    EXPECT_NE(result->find(folder.string()), std::string::npos) << *result;
    EXPECT_EQ(album.savedCount(), 1);  // kept is saved
    EXPECT_EQ(album.pendingCount(), 0);
    EXPECT_FALSE(album.saveProblem());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(folder.string()), std::string::npos);
    EXPECT_NE(log.lines()[0].find((root_ / "fallback").string()), std::string::npos);
    const auto kept = filesIn(root_ / "fallback");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_GT(channelIn(root_ / "fallback" / kept[0], 1), 240);
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

TEST_F(PhotoAlbumTest, PhotosNoFolderTakesWaitInMemoryAndLandUnderTheNamesOfTheirMoment) {
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
}

TEST_F(PhotoAlbumTest, ClosingMakesALastAttemptAndNamesEveryPhotoItLoses) {
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
    }  // closed before any retry could run
    ASSERT_TRUE(fs::is_directory(freed));
    EXPECT_EQ(filesIn(freed).size(), 1u);
    EXPECT_EQ(linesWith(log, "IMG_20240305_093000_000.jpg is lost"), 1);
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
    write(folder / ".IMG_4.jpg.Tr55Zz", Bytes(photo.begin(), photo.end() - 1));
    write(folder / ".notes.txt.Ab12Cd", photo);  // not one of our photographs
    write(fallback / ".IMG_5.jpg.Fb00Aa", photo);
    // A save under way, in this process or another, holds its file: it is left alone.
    write(folder / ".IMG_6.jpg.Lk55Lk", half);
    const int writer = ::open((folder / ".IMG_6.jpg.Lk55Lk").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    SystemLog::Capture log;
    PhotoAlbum album(root_ / "empty", fallback, loop_);
    album.setFolder(folder);  // as `--album` does at start-up
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{".IMG_6.jpg.Lk55Lk", ".notes.txt.Ab12Cd",
                                                         "IMG_1.jpg", "IMG_2.jpg", "IMG_2_1.jpg"}));
    const auto read = independent_tools::ScratchFiles::read;
    EXPECT_EQ(read(folder / "IMG_1.jpg"), photo);
    EXPECT_EQ(read(folder / "IMG_2.jpg"), other);
    EXPECT_EQ(read(folder / "IMG_2_1.jpg"), photo);
    EXPECT_EQ(filesIn(fallback), std::vector<std::string>{"IMG_5.jpg"});
    EXPECT_EQ(linesWith(log, "recovered the photo"), 3);
    EXPECT_EQ(linesWith(log, ".IMG_3.jpg.Xy34Zw: an interrupted save left it incomplete"), 1);
    EXPECT_EQ(linesWith(log, ".IMG_4.jpg.Tr55Zz: an interrupted save left it incomplete"), 1);

    // Each listing finishes what was left since.
    ::close(writer);
    write(folder / ".IMG_7.jpg.Nw88Nw", photo);
    const auto listed = album.pictures();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), folder / "IMG_7.jpg"), 1);
    EXPECT_FALSE(fs::exists(folder / ".IMG_6.jpg.Lk55Lk"));
}

// Saves large photographs until it is killed (run by the test below in a process of its own).
TEST(PhotoAlbumWriter, SavesUntilKilled) {
    const char* folder = std::getenv("ORVEX_ALBUM_WRITER_FOLDER");
    if (!folder) GTEST_SKIP() << "only run by PhotoAlbumTest.KilledWriterLeavesNoHalfWrittenPhoto";
    RunLoop loop(std::make_shared<VirtualClock>());
    PhotoAlbum album(folder, fs::path(folder) / "fallback", loop);
    for (;;) {
        album.save(solidPicture(2000, 1500, 0xFF336699u), nullptr);
        loop.runFor(0.001);
    }
}

TEST_F(PhotoAlbumTest, KilledWriterLeavesNoHalfWrittenPhoto) {
    const fs::path folder = root_ / "album";
    PhotoAlbum album(folder, root_ / "fallback", loop_);
    const std::string filter = "--gtest_filter=PhotoAlbumWriter.SavesUntilKilled";
    const std::string variable = "ORVEX_ALBUM_WRITER_FOLDER=" + folder.string();
    std::vector<char*> argv = {const_cast<char*>("/proc/self/exe"),
                               const_cast<char*>(filter.c_str()), nullptr};
    std::vector<char*> envp = {const_cast<char*>(variable.c_str())};
    for (char** e = environ; *e; ++e) envp.push_back(*e);
    envp.push_back(nullptr);
    // Each writer is killed at a different moment of a save, once it has finished one.
    for (int delayMs : {0, 3, 7, 12, 20}) {
        const std::size_t before = album.pictures().size();
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), envp.data()),
                  0);
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
    // Nothing the killed writers left under a temporary name outlives that listing.
    for (const std::string& name : filesIn(folder)) EXPECT_NE(name.front(), '.') << name;
}

}  // namespace
