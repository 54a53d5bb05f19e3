#include <sys/stat.h>

#include "platform/media/photo_album.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <thread>
#include <tuple>

#include "imaging/scale_and_rotate_image.h"
#include "platform/foundation/log.h"
#include "platform/graphics/decode_image.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/jpeg_codec.h"
#include "tests/graphics/independent_tools.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::graphics::Image;
using platform::graphics::ImagePtr;
using platform::graphics::PixelBuffer;
using platform::media::PhotoAlbum;

ImagePtr solidPicture(int width, int height, std::uint32_t colour) {
    auto pixels = std::make_shared<PixelBuffer>(width, height, PixelBuffer::Format::Rgb24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels->setPixel(x, y, colour);
    return Image::withPixels(std::move(pixels));
}

std::vector<std::uint8_t> jpegOf(std::uint32_t colour) {
    return platform::graphics::encodeJpeg(solidPicture(64, 48, colour)->pixels()).value();
}

void writeBytes(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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
    return static_cast<int>(std::count_if(
        log.lines().begin(), log.lines().end(),
        [&](const std::string& line) { return line.find(text) != std::string::npos; }));
}

// A moment of 5 March 2024, local time.
std::chrono::system_clock::time_point marchFifth(int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = 124;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class PhotoAlbumTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("orvex-album-test-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        for (const fs::path& locked : locked_) setImmutable(locked, false);
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
    }

    static bool setImmutable(const fs::path& folder, bool on) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }

    // A folder nobody may write in, not even the superuser; false where that cannot be had.
    bool makeReadOnly(const fs::path& folder) {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        if (::geteuid() == 0 && setImmutable(folder, true)) locked_.push_back(folder);
        std::ofstream probe(folder / "probe");
        return !probe;
    }

    // Runs the loop until every save has completed.
    void finishSaves() { loop_.runFor(0.001); }

    // A folder that cannot be created, not even by the superuser: its parent is a file. Removing
    // the file named `blocker` lets it be created.
    fs::path blockedFolder(const std::string& blocker) {
        std::ofstream(root_ / blocker) << "a file, not a folder";
        return root_ / blocker / "folder";
    }

    fs::path root_;
    std::vector<fs::path> locked_;
    RunLoop loop_{std::make_shared<VirtualClock>()};
};

TEST_F(PhotoAlbumTest, SavesInTheSameMillisecondGetTheirOwnFiles) {
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    const auto instant = std::chrono::system_clock::now();
    album.setWallClock([instant] { return instant; });
    std::vector<std::optional<std::string>> results;
    album.save(solidPicture(40, 30, 0xFFFF0000u),
               [&](const auto& error) { results.push_back(error); });
    album.save(solidPicture(40, 30, 0xFF0000FFu),
               [&](const auto& error) { results.push_back(error); });
    finishSaves();

    ASSERT_EQ(results.size(), 2u);
    EXPECT_FALSE(results[0]);
    EXPECT_FALSE(results[1]);
    EXPECT_EQ(album.savedCount(), 2);
    const auto pictures = album.pictures();
    ASSERT_EQ(pictures.size(), 2u);
    const std::string first = pictures[0].filename().string();
    EXPECT_EQ(first.size(), std::string("IMG_20240101_120000_000.jpg").size()) << first;
    EXPECT_EQ(pictures[1].filename().string(), first.substr(0, first.size() - 4) + "_1.jpg");
    // Each file holds its own picture, as a JPEG the album can read back.
    const auto red = platform::graphics::decodeImageFile(pictures[0]);
    const auto blue = platform::graphics::decodeImageFile(pictures[1]);
    ASSERT_TRUE(red && blue);
    EXPECT_GT(red.value()->pixels().pixel(20, 15) >> 16 & 0xFF, 240u);
    EXPECT_GT(blue.value()->pixels().pixel(20, 15) & 0xFF, 240u);
    // Ordinary files, as the umask makes them: not left private like a temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    const auto permissions = std::filesystem::status(pictures[0]).permissions();
    EXPECT_EQ(static_cast<mode_t>(permissions) & 0777, 0666 & ~mask);
}

TEST_F(PhotoAlbumTest, SavedPhotosCarryTheirMomentSizeMakerAndAnUprightExifThumbnail) {
    // Stored sideways with four coloured quadrants, so that the turn shows in the thumbnail.
    auto stored = std::make_shared<PixelBuffer>(300, 200, PixelBuffer::Format::Rgb24);
    const std::uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) stored->setPixel(x, y, colours[(y >= 100) * 2 + (x >= 150)]);
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    album.setWallClock([] { return marchFifth(9, 30, 0); });
    const auto sideways =
        std::make_shared<Image>(stored, platform::graphics::ImageOrientation::Right, 1.0f);
    album.save(sideways, nullptr);
    finishSaves();
    ASSERT_EQ(album.pictures().size(), 1u);
    const fs::path saved = album.pictures()[0];
    std::ifstream in(saved, std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});

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
    EXPECT_EQ(photo.value()->imageOrientation(), platform::graphics::ImageOrientation::Up);
    const PixelBuffer& full = photo.value()->pixels();
    for (const auto& [fx, fy, expected] :
         {std::tuple{0.25, 0.25, colours[2]}, std::tuple{0.75, 0.25, colours[0]},
          std::tuple{0.25, 0.75, colours[3]}, std::tuple{0.75, 0.75, colours[1]}}) {
        for (const PixelBuffer* p : {&pixels, &full}) {
            const std::uint32_t got = p->pixel(int(fx * p->width()), int(fy * p->height()));
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int(got >> shift & 0xFF), int(expected >> shift & 0xFF), 40)
                    << fx << "," << fy << " in the " << p->width() << " pixel wide picture";
        }
    }
    // Another reader finds the same thumbnail.
    const auto extracted = independent_tools::run("exiftool -b -ThumbnailImage " +
                                                  independent_tools::quoted(saved.string()));
    ASSERT_EQ(extracted.status, 0) << "exiftool is missing: run scripts/install-deps";
    EXPECT_EQ(std::vector<std::uint8_t>(extracted.output.begin(), extracted.output.end()),
              *embedded);

    // ... and the rest of the block, as galleries read it.
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
    const auto plain =
        platform::graphics::encodeJpeg(imaging::scaleAndRotateImage(*sideways)->pixels(), 95);
    ASSERT_TRUE(plain);
    ASSERT_GT(bytes.size(), 6u);
    ASSERT_EQ(bytes[3], 0xE1);  // the EXIF segment follows the start marker
    const std::size_t segment = 2 + (std::size_t{bytes[4]} << 8 | bytes[5]);
    std::vector<std::uint8_t> withoutExif(bytes.begin(), bytes.begin() + 2);
    withoutExif.insert(withoutExif.end(), bytes.begin() + 2 + static_cast<long>(segment),
                       bytes.end());
    EXPECT_EQ(withoutExif, plain.value());
}

TEST_F(PhotoAlbumTest, CompletionsRunOnTheLoopInTheOrderOfTheSaves) {
    PhotoAlbum album(root_ / "album", root_ / "fallback", loop_);
    std::vector<int> order;
    std::vector<bool> failed;
    const auto loopThread = std::this_thread::get_id();
    bool onLoopThread = true;
    for (int i = 0; i < 5; ++i) {
        ImagePtr picture = i == 2 ? nullptr : solidPicture(300, 200, 0xFF808080u);
        album.save(picture, [&, i](const std::optional<std::string>& error) {
            onLoopThread = onLoopThread && std::this_thread::get_id() == loopThread;
            order.push_back(i);
            failed.push_back(error.has_value());
        });
    }
    EXPECT_TRUE(order.empty());  // nothing completes inside save()
    finishSaves();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(failed, (std::vector<bool>{false, false, true, false, false}));
    EXPECT_TRUE(onLoopThread);
    EXPECT_EQ(album.savedCount(), 4);
    EXPECT_EQ(album.pictures().size(), 4u);  // the absent picture wrote nothing
    EXPECT_EQ(loop_.pendingBackgroundWork(), 0);
}

TEST_F(PhotoAlbumTest, UnwritableFolderKeepsThePhotoInTheFallback) {
    const fs::path readOnly = root_ / "read-only";
    fs::create_directories(readOnly);
    if (!makeReadOnly(readOnly)) GTEST_SKIP() << "no way to make a folder read-only here";
    std::ofstream(root_ / "file") << "a file, not a folder";

    for (const fs::path& folder : {readOnly, root_ / "file" / "album"}) {
        SCOPED_TRACE(folder);
        SystemLog::Capture log;
        PhotoAlbum album(folder, root_ / "fallback", loop_);
        std::optional<std::string> result;
        bool completed = false;
        album.save(solidPicture(64, 48, 0xFF00FF00u), [&](const auto& error) {
            completed = true;
            result = error;
        });
        finishSaves();
        ASSERT_TRUE(completed);
        ASSERT_TRUE(result.has_value());
        EXPECT_NE(result->find(folder.string()), std::string::npos) << *result;
        EXPECT_EQ(album.savedCount(), 1);  // kept is saved
        EXPECT_EQ(album.pendingCount(), 0);
        EXPECT_FALSE(album.saveProblem());
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(folder.string()), std::string::npos);
        EXPECT_NE(log.lines()[0].find((root_ / "fallback").string()), std::string::npos);
    }
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(root_ / "fallback"))
        kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 2u);
    for (const fs::path& path : kept) EXPECT_TRUE(platform::graphics::decodeImageFile(path));
}

TEST_F(PhotoAlbumTest, ListsJpegAndPngPicturesOldestFirst) {
    const fs::path folder = root_ / "album";
    fs::create_directories(folder);
    const auto now = fs::file_time_type::clock::now();
    const std::pair<const char*, int> files[] = {
        {"b.PNG", 3}, {"a.jpg", 1}, {"notes.txt", 0}, {".IMG_x.jpg.tmp1", 0}, {"c.jpeg", 2}};
    for (const auto& [name, age] : files) {
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
    album.setProblemHandler(
        [&](const std::optional<std::string>& cause) { told.push_back(cause); });
    auto now = marchFifth(10, 0, 0);
    album.setWallClock([&now] { return now; });
    std::optional<std::string> result;
    album.save(solidPicture(64, 48, 0xFFFF0000u), [&](const auto& error) { result = error; });
    finishSaves();
    // Beyond the memory set aside, the newest photograph is the one given up, and named.
    album.setMemoryBudget(1);
    now = marchFifth(10, 0, 1);
    album.save(solidPicture(64, 48, 0xFF0000FFu), nullptr);
    now = marchFifth(11, 0, 0);
    finishSaves();

    EXPECT_TRUE(result);
    EXPECT_EQ(album.savedCount(), 0);
    EXPECT_EQ(album.pendingCount(), 1);
    EXPECT_EQ(album.failedCount(), 1);
    EXPECT_EQ(told, (std::vector<std::optional<std::string>>{std::strerror(ENOTDIR)}));
    EXPECT_EQ(linesWith(log, "IMG_20240305_100001_000.jpg is lost"), 1);
    // Attempts that keep failing write nothing and lose nothing, however long they go on.
    loop_.runFor(600);
    EXPECT_EQ(album.pendingCount(), 1);
    EXPECT_EQ(filesIn(root_), (std::vector<std::string>{"album-blocker", "fallback-blocker"}));

    fs::remove(root_ / "album-blocker");
    loop_.runFor(PhotoAlbum::kLongestRetryDelay + 1);
    EXPECT_EQ(album.savedCount(), 1);
    EXPECT_EQ(album.pendingCount(), 0);
    EXPECT_EQ(album.failedCount(), 1);
    EXPECT_FALSE(album.saveProblem());
    EXPECT_EQ(told.size(), 2u);
    EXPECT_FALSE(told.back());
    const fs::path landed = root_ / "album-blocker" / "folder" / "IMG_20240305_100000_000.jpg";
    ASSERT_EQ(album.pictures(), std::vector<fs::path>{landed});
    const auto red = platform::graphics::decodeImageFile(landed);
    ASSERT_TRUE(red) << red.error();
    EXPECT_GT(red.value()->pixels().pixel(20, 15) >> 16 & 0xFF, 240u);
}

TEST_F(PhotoAlbumTest, ClosingMakesALastAttemptAndNamesEveryPhotoItLoses) {
    SystemLog::Capture log;
    const fs::path freed = blockedFolder("freed");
    {
        PhotoAlbum kept(blockedFolder("blocked"), blockedFolder("fallback-blocker"), loop_);
        PhotoAlbum saved(freed, blockedFolder("fallback-blocker"), loop_);
        kept.setWallClock([] { return marchFifth(9, 30, 0); });
        kept.save(solidPicture(64, 48, 0xFF00FF00u), nullptr);
        saved.save(solidPicture(64, 48, 0xFF00FF00u), nullptr);
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
    const fs::path folder = root_ / "album";
    const fs::path fallback = root_ / "fallback";
    fs::create_directories(folder);
    fs::create_directories(fallback);
    const auto photo = jpegOf(0xFFFF0000u);
    const auto other = jpegOf(0xFF0000FFu);
    const std::span<const std::uint8_t> half(photo.data(), photo.size() / 2);
    writeBytes(folder / ".IMG_1.jpg.Ab12Cd", photo);
    writeBytes(folder / "IMG_2.jpg", other);
    writeBytes(folder / ".IMG_2.jpg.Qq11Rr", photo);  // never replaces the file of its name
    writeBytes(folder / ".IMG_3.jpg.Xy34Zw", half);
    writeBytes(folder / ".IMG_4.jpg.Tr55Zz", std::span(photo).first(photo.size() - 1));
    writeBytes(folder / ".notes.txt.Ab12Cd", photo);  // not one of our photographs
    writeBytes(fallback / ".IMG_5.jpg.Fb00Aa", photo);
    // A save under way, in this process or another, holds its file: it is left alone.
    writeBytes(folder / ".IMG_6.jpg.Lk55Lk", half);
    const int writer = ::open((folder / ".IMG_6.jpg.Lk55Lk").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    SystemLog::Capture log;
    PhotoAlbum album(root_ / "empty", fallback, loop_);
    album.setFolder(folder);  // as `--album` does at start-up
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{".IMG_6.jpg.Lk55Lk", ".notes.txt.Ab12Cd",
                                                         "IMG_1.jpg", "IMG_2.jpg", "IMG_2_1.jpg"}));
    EXPECT_EQ(readBytes(folder / "IMG_1.jpg"), photo);
    EXPECT_EQ(readBytes(folder / "IMG_2.jpg"), other);
    EXPECT_EQ(readBytes(folder / "IMG_2_1.jpg"), photo);
    EXPECT_EQ(filesIn(fallback), std::vector<std::string>{"IMG_5.jpg"});
    EXPECT_EQ(linesWith(log, "recovered the photo"), 3);
    EXPECT_EQ(linesWith(log, ".IMG_3.jpg.Xy34Zw: an interrupted save left it incomplete"), 1);
    EXPECT_EQ(linesWith(log, ".IMG_4.jpg.Tr55Zz: an interrupted save left it incomplete"), 1);

    // Each listing finishes what was left since.
    ::close(writer);
    writeBytes(folder / ".IMG_7.jpg.Nw88Nw", photo);
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
        int status = 0;
        ::waitpid(child, &status, 0);
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
