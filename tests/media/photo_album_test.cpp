#include "platform/media/photo_album.h"

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
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
#include "platform/graphics/exif_orientation.h"
#include "platform/graphics/exif_thumbnail.h"
#include "platform/graphics/png_codec.h"
#include "platform/media/album_browser.h"
#include "platform/media/atomic_file_writer.h"
#include "platform/media/save_problem_notice.h"
#include "platform/media/services.h"
#include "platform/media/thumbnail_cache.h"
#include "platform/ui/window.h"
#include "tests/graphics/independent_tools.h"
#include "tests/graphics/reference_png.h"
#include "tests/graphics/test_pictures.h"

// The album: photos saved, listed and recovered, their thumbnails, and the browser that shows
// them.
namespace {

namespace fs = std::filesystem;
using namespace test_pictures;
using platform::foundation::RunLoop;
using platform::foundation::SystemLog;
using platform::foundation::VirtualClock;
using platform::media::PhotoAlbum;
using platform::media::Services;
using platform::media::Thumbnail;
using platform::media::ThumbnailCache;
using Bytes = std::vector<std::uint8_t>;
using Kind = Thumbnail::Kind;

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

auto linesWith(const SystemLog::Capture& log, const std::string& text) {
    return std::ranges::count_if(log.lines(),
                                 [&](auto& line) { return line.find(text) != line.npos; });
}

// A moment of 5 March 2024, local time.
std::chrono::system_clock::time_point marchFifth(int hour, int minute, int second) {
    std::tm local{};
    std::tie(local.tm_year, local.tm_mon, local.tm_mday) = std::tuple(124, 2, 5);
    std::tie(local.tm_hour, local.tm_min, local.tm_sec, local.tm_isdst) =
        std::tuple(hour, minute, second, -1);
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

Bytes jpegOf(const std::shared_ptr<PixelBuffer>& pixels, int exifOrientation = 1) {
    return platform::graphics::withExifOrientation(test_pictures::jpegOf(*pixels), exifOrientation);
}

fs::path writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The modification time in whole seconds since 1970, as a thumbnail records it.
std::string mtimeOf(const fs::path& file) {
    const auto since1970 =
        std::chrono::file_clock::to_sys(fs::last_write_time(file)).time_since_epoch();
    return std::to_string(std::chrono::floor<std::chrono::seconds>(since1970).count());
}

// A thumbnail as another program leaves it: a solid magenta square PNG written with nothing but
// zlib, with only the text it is given (and no Thumb::Size, which the standard does not require).
void writeOthersThumbnail(const fs::path& path, const std::string& uri, const std::string& mtime,
                          int side = 4) {
    reference_png::Picture magenta;
    magenta.width = magenta.height = side;
    for (int i = 0; i < side * side; ++i)
        magenta.samples.insert(magenta.samples.end(), {255, 0, 255});
    auto png = reference_png::file(magenta);
    std::vector<std::uint8_t> texts;
    for (const auto& [key, text] : {std::pair{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}) {
        const std::string body = key + std::string(1, '\0') + text;
        reference_png::putChunk(texts, "tEXt", {body.begin(), body.end()});
    }
    png.insert(png.begin() + 33, texts.begin(), texts.end());  // after the header chunk
    writeFile(path, png);
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
    album.setWallClock([] { return marchFifth(9, 30, 0); });  // every save in the same millisecond
    std::vector<std::pair<int, bool>> completed;              // which save, and whether it failed
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

    // Each file holds its own picture, as a JPEG the album can read back.
    const auto pictures = album.pictures();
    const std::string stem = (root_ / "album" / "IMG_20240305_093000_000").string();
    ASSERT_EQ(pictures, (std::vector<fs::path>{stem + ".jpg", stem + "_1.jpg", stem + "_2.jpg"}));
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
    const auto offset = independent_tools::run("date -d '2024-03-05 09:30:00' +%:z").output;
    EXPECT_EQ(tags.output, "2024:03:05 09:30:00\n2024:03:05 09:30:00\n" + offset +
                               "200\n300\nOrvex " ORVEX_VERSION "\n1\n");
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
    using Causes = std::vector<std::optional<std::string>>;
    Causes told;
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
    EXPECT_EQ(told, Causes{std::strerror(ENOTDIR)});
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
    EXPECT_EQ(told, (Causes{std::strerror(ENOTDIR), std::nullopt}));
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
    const Bytes photo = jpegOf(solid(64, 48, kRed)), other = jpegOf(solid(64, 48, kBlue));
    const Bytes half(photo.begin(), photo.begin() + static_cast<long>(photo.size() / 2));
    files_.write("album/.IMG_1.jpg.Ab12Cd", photo);
    files_.write("album/IMG_2.jpg", other);
    files_.write("album/.IMG_2.jpg.Qq11Rr", photo);  // never replaces the file of its name
    files_.write("album/.IMG_3.jpg.Xy34Zw", half);
    files_.write("album/.notes.txt.Ab12Cd", photo);  // not one of our photographs
    files_.write("fallback/.IMG_5.jpg.Fb00Aa", photo);
    // A save under way, in this process or another, holds its file: it is left alone.
    const int writer = ::open(files_.write("album/.IMG_6.jpg.Lk55Lk", half).c_str(), O_RDONLY);
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

// Saves large photographs until it is killed. Run only by the test below, in a process of its
// own: a forked copy of this threaded process could wait forever on a lock or a worker that
// the fork left behind.
TEST(PhotoAlbumWriter, SavesUntilKilled) {
    const char* folder = std::getenv("ORVEX_ALBUM_WRITER_FOLDER");
    if (!folder) GTEST_SKIP() << "only run by PhotoAlbumTest.KilledWriterLeavesNoHalfWrittenPhoto";
    RunLoop loop(std::make_shared<VirtualClock>());
    PhotoAlbum writer(folder, fs::path(folder) / "fallback", loop);
    for (;;) {
        writer.save(solidPicture(2000, 1500, 0xFF336699u), nullptr);
        loop.runFor(0.001);
    }
}

// Writers killed at different moments of a save, each once it has finished one, leave no
// half-written photo under a photo's name, nor anything under a temporary name that outlives
// the next listing.
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

class ThumbnailCacheTest : public testing::Test {
  protected:
    struct Answer {
        fs::path file;
        Kind kind;
        ImagePtr picture;
    };

    std::unique_ptr<ThumbnailCache> makeCache(
        ThumbnailCache::Flavor flavor = ThumbnailCache::Flavor::Large) {
        auto cache = std::make_unique<ThumbnailCache>(root_, flavor, loop_);
        cache->setHandler([this](const fs::path& file, const Thumbnail& thumbnail) {
            onLoopThread_ = onLoopThread_ && std::this_thread::get_id() == loopThread_;
            answers_.push_back({file, thumbnail.kind, thumbnail.picture});
        });
        return cache;
    }

    // Every answer to these files, once all of them are in.
    std::vector<Answer> thumbnailsOf(ThumbnailCache& cache, std::vector<fs::path> files) {
        answers_.clear();
        cache.request(std::move(files));
        loop_.runFor(0.001);
        return answers_;
    }
    Answer onlyAnswer(ThumbnailCache& cache, const fs::path& file) {
        const std::vector<Answer> answers = thumbnailsOf(cache, {file});
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? Answer{file, Kind::Failed, nullptr} : answers.back();
    }

    fs::path photo(const std::string& name, const Bytes& b) { return writeFile(photos_ / name, b); }
    static unsigned modeOf(const fs::path& p) { return unsigned(fs::status(p).permissions()); }

    independent_tools::ScratchFiles files_;
    const fs::path photos_ = files_.path("photos");
    const fs::path root_ = files_.path("cache") / "thumbnails";  // made by the cache
    RunLoop loop_{std::make_shared<VirtualClock>()};
    std::vector<Answer> answers_;
    const std::thread::id loopThread_ = std::this_thread::get_id();
    bool onLoopThread_ = true;
};

TEST_F(ThumbnailCacheTest, NamesAreTheOnesFileManagersGiveThem) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        if (c != '/') everyByte += static_cast<char>(c);
    const fs::path files[] = {photos_ / "IMG_0001.jpg", photos_ / "Été à Zürich; #1 (50%)?.jpg",
                              fs::path("relative") / ".." / "x y.png", photos_ / everyByte};
    const auto large = makeCache();
    for (const fs::path& file : files) {
        SCOPED_TRACE(file);
        // GLib's naming is the one GNOME's and most other file managers' thumbnails go by.
        g_autofree gchar* canonical = g_canonicalize_filename(file.c_str(), nullptr);
        g_autofree gchar* expected = g_filename_to_uri(canonical, nullptr, nullptr);
        const std::string uri = ThumbnailCache::uriFor(file);
        EXPECT_EQ(uri, expected);

        const std::string name = independent_tools::md5Hex(uri) + ".png";
        EXPECT_EQ(large->thumbnailPathFor(file), root_ / "large" / name);
        EXPECT_EQ(large->failPathFor(file), root_ / "fail" / ("orvex-" ORVEX_VERSION) / name);
    }
}

TEST_F(ThumbnailCacheTest, TheExifThumbnailAnswersFirstThenAnUprightOneOtherProgramsCanRead) {
    // Stored sideways (EXIF 6 asks for a quarter turn clockwise), with the camera's thumbnail
    // stored as the photo is, darker so that it can be told apart.
    const Bytes embedded = test_pictures::jpegOf(*quadrants(160, 120, 0.5), 85);
    const Bytes plain = jpegOf(quadrants(1200, 900));
    const Bytes tagged = platform::graphics::withExifThumbnail(
        plain, embedded, platform::graphics::ImageOrientation::Right);
    const fs::path file = photo("camera.jpg", tagged);
    const auto cache = makeCache();

    const std::vector<Answer> answers = thumbnailsOf(*cache, {file});
    ASSERT_EQ(answers.size(), 2u);
    ASSERT_EQ(answers[0].kind, Kind::Provisional);
    EXPECT_EQ(dimensions(answers[0].picture->pixels()), std::pair(120, 160));
    const auto dark = [](std::uint32_t c) { return 0xFF000000u | ((c >> 1) & 0x7F7F7F); };
    expectQuadrants(answers[0].picture, {dark(kBlue), dark(kRed), dark(kWhite), dark(kGreen)});
    const std::pair upright(900 * 256 / 1200, 256);
    ASSERT_EQ(answers[1].kind, Kind::Final);
    EXPECT_TRUE(onLoopThread_);
    EXPECT_EQ(dimensions(answers[1].picture->pixels()), upright);
    EXPECT_EQ(answers[1].picture->imageOrientation(), ImageOrientation::Up);
    expectQuadrants(answers[1].picture, {kBlue, kRed, kWhite, kGreen});

    const fs::path stored = cache->thumbnailPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(stored);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(std::pair(walk.width, walk.height), upright);
    EXPECT_EQ(walk.texts, (std::map<std::string, std::string>{
                              {"Thumb::URI", ThumbnailCache::uriFor(file)},
                              {"Thumb::MTime", mtimeOf(file)},
                              {"Thumb::Size", std::to_string(fs::file_size(file))},
                              {"Thumb::Image::Width", "900"},
                              {"Thumb::Image::Height", "1200"},
                              {"Software", "Orvex " ORVEX_VERSION}}));
    // Private to the user, and nothing half-written left beside it.
    EXPECT_EQ(modeOf(stored), 0600u);
    EXPECT_EQ(modeOf(root_ / "large"), 0700u);
    EXPECT_EQ(modeOf(root_), 0700u);
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "large"), {}), 1);

    // Once made, the thumbnail on record is the whole answer.
    EXPECT_EQ(onlyAnswer(*cache, file).kind, Kind::Final);

    // A photo whose picture is damaged past its EXIF block still shows the camera's thumbnail.
    Bytes damaged = tagged;
    damaged.resize(tagged.size() - plain.size() / 2);
    const std::vector<Answer> partial = thumbnailsOf(*cache, {photo("damaged.jpg", damaged)});
    ASSERT_EQ(partial.size(), 2u);
    EXPECT_EQ(partial[0].kind, Kind::Provisional);
    EXPECT_EQ(partial[1].kind, Kind::Failed);
}

TEST_F(ThumbnailCacheTest, AThumbnailOnRecordIsUsedOnlyWhileItRecordsTheFileAsItIs) {
    const fs::path file = photo("photo.jpg", jpegOf(quadrants(600, 400)));
    const auto cache = makeCache();
    const fs::path stored = cache->thumbnailPathFor(file);
    const std::string uri = ThumbnailCache::uriFor(file), mtime = mtimeOf(file);

    writeOthersThumbnail(stored, uri, mtime);
    const Answer kept = onlyAnswer(*cache, file);
    ASSERT_EQ(kept.kind, Kind::Final);
    EXPECT_EQ(kept.picture->pixels().width(), 4);  // read, not made again

    // The file modified since, another file's record, one larger than a large thumbnail may be.
    const std::tuple<std::string, std::string, int> staleRecords[] = {
        {uri, std::to_string(std::stoll(mtime) + 3600), 4},
        {ThumbnailCache::uriFor(photos_ / "other.jpg"), mtime, 4},
        {uri, mtime, 300},
    };
    for (const auto& [recordedUri, recordedTime, side] : staleRecords) {
        SCOPED_TRACE(recordedUri + " " + recordedTime);
        writeOthersThumbnail(stored, recordedUri, recordedTime, side);
        const Answer remade = onlyAnswer(*cache, file);
        ASSERT_EQ(remade.kind, Kind::Final);
        expectQuadrants(remade.picture, {kRed, kGreen, kBlue, kWhite});
    }

    // Rewritten within the same second, as a burst of saves does: the recorded size tells.
    const auto madeAt = fs::last_write_time(file);
    writeFile(file, jpegOf(solid(500, 300, kGreen)));
    fs::last_write_time(file, madeAt);
    const Answer green = onlyAnswer(*cache, file);
    EXPECT_TRUE(near(colourAt(green.picture, 0.5, 0.5), kGreen));
}

TEST_F(ThumbnailCacheTest, UnreadableFilesFailAndAreRememberedUntilTheyChange) {
    const Bytes good = jpegOf(quadrants(320, 240));
    Bytes broken = good, truncated = good;
    broken[0] = 0;  // no longer a JPEG, and just as long
    truncated.resize(good.size() / 2);
    const fs::path huge = photos_ / "huge.jpg";
    writeFile(huge, {0xFF, 0xD8, 0xFF});
    fs::resize_file(huge, 201u << 20);  // sparse: costs no disk, but too large to read
    const struct {
        fs::path file;
        bool remembered;  // a fail entry records it
    } cases[] = {
        {photo("broken.jpg", broken), true}, {photo("truncated.jpg", truncated), true},
        {photo("empty.png", {}), true},      {huge, true},
        {photos_ / "missing.jpg", false},    {photos_, false},
    };
    const auto cache = makeCache();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Answer answer = onlyAnswer(*cache, c.file);
        EXPECT_EQ(answer.kind, Kind::Failed);
        EXPECT_FALSE(answer.picture);
        EXPECT_EQ(fs::exists(cache->failPathFor(c.file)), c.remembered);
        EXPECT_FALSE(fs::exists(cache->thumbnailPathFor(c.file)));
    }

    // The entry records the file as a thumbnail does, and is the user's alone.
    const fs::path file = cases[0].file, entry = cache->failPathFor(file);
    const independent_tools::PngWalk walk = independent_tools::walkPng(entry);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(walk.texts.at("Thumb::URI"), ThumbnailCache::uriFor(file));
    EXPECT_EQ(walk.texts.at("Thumb::MTime"), mtimeOf(file));
    EXPECT_EQ(modeOf(entry), 0600u);

    // Mended behind our back, under the same time and size: the entry still stands.
    const auto failedAt = fs::last_write_time(file);
    writeFile(file, good);
    fs::last_write_time(file, failedAt);
    EXPECT_EQ(onlyAnswer(*cache, file).kind, Kind::Failed);
    fs::last_write_time(file, failedAt + std::chrono::seconds(5));
    const Answer mended = onlyAnswer(*cache, file);
    ASSERT_EQ(mended.kind, Kind::Final);
    expectQuadrants(mended.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, PicturesAreFittedToTheFlavorAndNeverEnlarged) {
    const auto translucent = pixelsOf(
        1000, 500, [](int x, int) { return x < 500 ? 0x80800000u : 0u; },
        PixelBuffer::Format::Argb32);
    const fs::path png = photo("wide.png", platform::graphics::encodePng(*translucent).value());
    const fs::path small = photo("small.jpg", jpegOf(quadrants(100, 60)));
    const auto cache = makeCache(ThumbnailCache::Flavor::Normal);

    const Answer wide = onlyAnswer(*cache, png);
    ASSERT_EQ(wide.kind, Kind::Final);
    EXPECT_EQ(test_pictures::dimensions(wide.picture->pixels()), std::pair(128, 64));
    EXPECT_EQ(colourAt(wide.picture, 0.25, 0.5) >> 24, 0x80u);  // alpha kept
    EXPECT_EQ(colourAt(wide.picture, 0.75, 0.5) >> 24, 0u);
    EXPECT_EQ(cache->thumbnailPathFor(png).parent_path(), root_ / "normal");
    EXPECT_TRUE(fs::exists(cache->thumbnailPathFor(png)));

    const Answer kept = onlyAnswer(*cache, small);
    EXPECT_EQ(test_pictures::dimensions(kept.picture->pixels()), std::pair(100, 60));
    expectQuadrants(kept.picture, {kRed, kGreen, kBlue, kWhite});
}

TEST_F(ThumbnailCacheTest, ALaterRequestReplacesWhatIsPendingAndNoAnswerOutlivesTheCache) {
    std::vector<fs::path> files;
    for (int i = 0; i < 8; ++i)
        files.push_back(photo("p" + std::to_string(i) + ".jpg", jpegOf(quadrants(1600, 1200))));
    auto cache = makeCache();
    cache->request(files);
    cache->request({files[7], files[2], files[7]});
    loop_.runFor(0.001);
    std::map<fs::path, int> finals;
    for (const Answer& a : answers_) finals[a.file] += a.kind == Kind::Final;
    EXPECT_EQ(finals[files[7]], 1);
    EXPECT_EQ(finals[files[2]], 1);
    // Only what the two workers had already started may finish besides.
    EXPECT_LE(answers_.size(), 4u);
    EXPECT_EQ(answers_.size(), finals.size());

    // Ended with work under way and answers posted: none of them arrives.
    answers_.clear();
    cache->request(files);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    cache.reset();
    loop_.runFor(0.001);
    EXPECT_TRUE(answers_.empty());

    // Nor once a handler has ended it itself.
    cache = makeCache();
    int calls = 0;
    cache->setHandler([&](const fs::path&, const Thumbnail&) {
        ++calls;
        cache.reset();
    });
    cache->request(files);
    loop_.runFor(0.001);
    EXPECT_EQ(calls, 1);
}

class AlbumBrowserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(folder / "album");
        window->addSubview(browser->view());
        browser->setPickHandler([this](ImagePtr picture) { picked.push_back(picture); });
    }

    // Photos whose widths tell them apart.
    std::vector<fs::path> photos(int count) {
        std::vector<fs::path> made;
        for (int i = 0; i < count; ++i) {
            made.push_back(folder / "album" / ("IMG_" + std::to_string(i) + ".jpg"));
            writeFile(made.back(), jpegOf(solid(20 + i, 16, kGreen)));
        }
        return made;
    }

    SystemLog::Capture log;  // quiet
    independent_tools::ScratchFiles files;
    const fs::path& folder = files.folder();
    // The main loop on a virtual clock, and emptied at the end.
    Services world{{.clock = std::make_shared<VirtualClock>(), .album = folder / "album"}};
    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>();
    std::shared_ptr<platform::media::AlbumBrowser> browser = platform::media::AlbumBrowser::make(
        {0, 44, 320, 436}, folder / "thumbnails", ThumbnailCache::Flavor::Normal);
    std::vector<ImagePtr> picked;
};

TEST_F(AlbumBrowserTest, ATapPicksThatCellsPhotoAsStoredAndALaterPickReplacesOneStillBeingRead) {
    const auto listed = photos(8);
    writeFile(listed[6], jpegOf(solid(26, 16, kGreen), 6));  // stored sideways
    browser->reload(listed, folder / "album");
    RunLoop::main().runFor(0);
    const auto point = browser->touchPointOfCell(6);  // second row, third column
    ASSERT_TRUE(point);
    window->tap(*point);
    RunLoop::main().runFor(0);
    ASSERT_EQ(picked.size(), 1u);
    ASSERT_NE(picked[0], nullptr);
    EXPECT_EQ(picked[0]->pixels().width(), 26);
    EXPECT_EQ(picked[0]->imageOrientation(), ImageOrientation::Right);
    // A touch in the gap between two cells picks nothing.
    const auto cell = browser->grid()->cellRect(1);
    const auto origin = browser->view()->originInWindow();
    window->tap({origin.x + cell.x() - 1.0f, origin.y + cell.center().y});
    RunLoop::main().runFor(0);

    browser->pick(0);
    browser->pick(2);
    RunLoop::main().runFor(0);
    ASSERT_EQ(picked.size(), 2u) << "the gap picked nothing, and the first pick gave way";
    EXPECT_EQ(picked[1]->pixels().width(), 22);
}

TEST_F(AlbumBrowserTest, OnlyCellsNearTheViewHoldThumbnails) {
    using CellState = platform::media::AlbumGridView::CellState;
    browser->reload(photos(240), folder / "album");
    RunLoop::main().runFor(0);
    const auto& grid = *browser->grid();
    EXPECT_EQ(grid.cell(0).state, CellState::Shown);
    EXPECT_EQ(grid.cell(239).state, CellState::Waiting);  // 60 rows down: never asked for
    browser->view()->setContentOffset({0, browser->view()->maximumContentOffset().y});
    RunLoop::main().runFor(0);
    EXPECT_EQ(grid.cell(239).state, CellState::Shown);
    EXPECT_EQ(grid.cell(0).state, CellState::Waiting);  // let go, far out of view
    std::size_t held = 0;
    for (std::size_t i = 0; i < grid.cellCount(); ++i) held += grid.cell(i).thumbnail != nullptr;
    EXPECT_LT(held, 120u);
}

}  // namespace
