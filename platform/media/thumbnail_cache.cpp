#include "platform/media/thumbnail_cache.h"

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <set>

#include "platform/foundation/log.h"
#include "platform/media/thumbnail_maker.h"

namespace platform::media {

namespace fs = std::filesystem;

namespace {

// Two cores are what the machines we run on have; more workers would only contend.
constexpr int kWorkers = 2;

// Kept in a URI's path as GLib keeps them, so that our names for the thumbnails are the file
// managers' names: RFC 3986's unreserved characters and the delimiters a path may hold, except
// ';', which GLib escapes too.
bool keptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    for (const char kept : std::string_view("-._~!$&'()*+,=:@/"))
        if (c == static_cast<unsigned char>(kept)) return true;
    return false;
}

}  // namespace

// What the workers and the answers posted to the loop share with the cache; it outlives the
// cache for as long as an answer waits on the loop.
struct ThumbnailCache::Shared {
    Shared(fs::path root, Flavor flavor, foundation::RunLoop& loop)
        : maker(std::move(root), flavor), loop(loop) {}

    struct Job {
        fs::path file;
        // Held from the request to the answer, so that a virtual clock waits for it.
        foundation::RunLoop::BackgroundWork work;
    };

    const ThumbnailMaker maker;
    foundation::RunLoop& loop;

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> pending;
    std::multiset<fs::path> underWay;
    bool stopping = false;

    // On the loop's thread only.
    Handler handler;
};

ThumbnailCache::ThumbnailCache(fs::path root, Flavor flavor, foundation::RunLoop& loop)
    : shared_(std::make_shared<Shared>(std::move(root), flavor, loop)) {
    for (int i = 0; i < kWorkers; ++i) workers_.emplace_back([shared = shared_] { work(shared); });
}

ThumbnailCache::~ThumbnailCache() {
    std::deque<Shared::Job> dropped;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        dropped.swap(shared_->pending);
    }
    shared_->wake.notify_all();
    for (std::thread& worker : workers_) worker.join();
    // Answers still waiting on the loop find no handler.
    shared_->handler = nullptr;
}

fs::path ThumbnailCache::defaultRoot() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return fs::path(cache) / "thumbnails";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".cache" / "thumbnails";
}

int ThumbnailCache::sizeOf(Flavor flavor) {
    return flavor == Flavor::Large ? 256 : 128;
}

void ThumbnailCache::setHandler(Handler handler) {
    shared_->handler = std::move(handler);
}

void ThumbnailCache::request(std::vector<fs::path> files) {
    std::deque<Shared::Job> dropped;
    {
        std::lock_guard lock(shared_->mutex);
        dropped.swap(shared_->pending);
        std::set<fs::path> queued;
        for (fs::path& file : files) {
            // A file under way is answered when it is done; one asked twice, once.
            if (shared_->underWay.contains(file) || !queued.insert(file).second) continue;
            shared_->pending.push_back({std::move(file), shared_->loop.beginBackgroundWork()});
        }
    }
    shared_->wake.notify_all();
}

std::string ThumbnailCache::uriFor(const fs::path& file) {
    std::error_code error;  // no working folder: the path as given is the best name there is
    fs::path absolute = fs::absolute(file, error).lexically_normal();
    if (error) absolute = file.lexically_normal();
    if (!absolute.has_filename() && absolute.has_relative_path()) absolute = absolute.parent_path();
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char c : absolute.native()) {
        if (keptInUri(c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

fs::path ThumbnailCache::thumbnailPathFor(const fs::path& file) const {
    return shared_->maker.thumbnailPathFor(file);
}

fs::path ThumbnailCache::failPathFor(const fs::path& file) const {
    return shared_->maker.failPathFor(file);
}

void ThumbnailCache::work(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->stopping || !shared->pending.empty(); });
        if (shared->stopping) return;
        Shared::Job job = std::move(shared->pending.front());
        shared->pending.pop_front();
        const auto underWay = shared->underWay.insert(job.file);
        lock.unlock();

        auto answer = [&](const Thumbnail& thumbnail) {
            shared->loop.post([shared, file = job.file, thumbnail] {
                // A copy, so that a handler that ends the cache does not end itself.
                if (Handler handler = shared->handler) handler(file, thumbnail);
            });
        };
        try {
            shared->maker.make(job.file, answer);
        } catch (const std::exception& error) {
            // Not the file's fault (memory, most likely): no fail entry, it may work next time.
            foundation::logWarning("cannot make the thumbnail of %@: %@", job.file.string(),
                                   error.what());
            answer({nullptr, Thumbnail::Kind::Failed});
        }

        lock.lock();
        // Only now may a new request for the file queue it again: its answers are posted.
        shared->underWay.erase(underWay);
        job.work.end();
    }
}

}  // namespace platform::media
