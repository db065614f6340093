#include "store/Store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "model/Language.h"
#include "model/Settings.h"
#include "model/StorageAlert.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "store/Connection.h"
#include "store/EntityDescription.h"
#include "store/Schema.h"
#include "store/Set.h"
#include "store/Track.h"

namespace qx {

struct Store::Impl {
    std::filesystem::path file;
    std::unique_ptr<Connection> main;
    std::unique_ptr<Connection> writer;  // used on the save queue only
    std::shared_ptr<Context> mainContext;
    std::unique_ptr<plat::SerialQueue> queue;
    StoreError openError;
    std::array<std::atomic<std::int64_t>, kEntityCount> nextRow{};
    // Merges posted to the main thread check this, so a store closed meanwhile is not touched.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

namespace {
std::unique_ptr<Store>& defaultSlot() {
    static std::unique_ptr<Store> store;
    return store;
}

// SQLite makes the database as whoever runs it, and gives the log and its index the database's
// owner. A new database is made here first, with SQLite's own mode, so that one run as root in
// another user's folder leaves it, and the side files after it, to that user.
void makeDatabaseFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return;  // there already, or SQLite's open names why it cannot be made
    plat::file::keepOwner(fd, file);
    ::close(fd);
}

// SQLite makes the log and its index with the database's mode of the moment, and keeps them: a
// run on a read-only database leaves them read-only, and the database, writable again, would
// still open read-only. Side files of this user follow the database's mode; any other is named
// in the log.
void matchSideFilesToDatabase(const std::filesystem::path& file) {
    struct stat database {};
    if (::stat(file.c_str(), &database) != 0 || ::access(file.c_str(), W_OK) != 0) return;
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string side = file.string() + suffix;
        struct stat info {};
        if (::lstat(side.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || ::access(side.c_str(), W_OK) == 0) continue;
        if (info.st_uid == ::geteuid() && ::chmod(side.c_str(), database.st_mode & 07777) == 0) {
            plat::Log::line("Store: " + plat::Log::quoted(side) + " was read-only; it is writable again, as the database is");
        } else {
            plat::Log::line("Store: " + plat::Log::quoted(side) + " is read-only: the database opens read-only");
        }
    }
}
}  // namespace

Store& Store::defaultStore() {
    auto& slot = defaultSlot();
    if (!slot) slot = std::make_unique<Store>(plat::DataFolder::root() / kFileName);
    return *slot;
}

void Store::closeDefaultStore() {
    if (auto& slot = defaultSlot()) Track::saveNamesWaitingForClose(*slot);
    Set::setCurrentSet(nullptr);
    Track::setCurrentTrack(nullptr);
    defaultSlot().reset();
}

Store::Store(std::filesystem::path file) : impl_(std::make_unique<Impl>()) {
    impl_->file = std::move(file);
    impl_->queue = std::make_unique<plat::SerialQueue>("store.save");
    if (!openConnections(&impl_->openError))
        plat::Log::line("Store: cannot open " + plat::Log::quoted(impl_->file.string()) + ": " + impl_->openError.message);
    impl_->mainContext = Context::make(*this, *impl_->main, Context::Kind::main);
    if (plat::RunLoop::main().isLoopThread()) refreshAlarmThreshold();
}

Store::~Store() {
    *impl_->alive = false;
    impl_->queue.reset();  // runs the saves already asked for
    impl_->mainContext.reset();
    impl_->writer.reset();
    impl_->main.reset();
}

bool Store::openConnections(StoreError* error) {
    std::error_code ec;
    std::filesystem::create_directories(impl_->file.parent_path(), ec);
    makeDatabaseFile(impl_->file);
    matchSideFilesToDatabase(impl_->file);
    StoreError local;
    auto main = Connection::open(impl_->file, &local);
    if (main && Schema::prepare(*main, kSchemaVersion, &local)) {
        if (main->isReadOnly()) {
            // What is stored can be read, and is shown; nothing can be added to it.
            impl_->main = std::move(main);
            impl_->writer.reset();
            reportError(error, StoreError::make(StoreError::Code::readOnly, "the database file is read-only"));
            return false;
        }
        auto writer = Connection::open(impl_->file, &local);
        // The save thread writes the large saves (an import of millions of rows): with the
        // default page cache of 2 MB their index pages are spilled and read back again and again.
        if (writer && Schema::configure(*writer, &local) && writer->exec(kSaveCachePragma, &local)) {
            impl_->main = std::move(main);
            impl_->writer = std::move(writer);
            impl_->writer->deferCheckpoints();
            for (int e = 0; e < kEntityCount; ++e) {
                auto s = impl_->main->prepare("SELECT COALESCE(MAX(id), 0) FROM " +
                                              Schema::quoted(EntityDescription::of(static_cast<EntityKind>(e)).table));
                impl_->nextRow[e] = (s && s.step() == 1) ? s.columnInt(0) : 0;
            }
            return true;
        }
    }
    reportError(error, local);
    // A store that cannot open still answers fetches from an empty in-memory database, so the
    // screens keep working; saves are refused with the open error, and nothing on disk is touched.
    impl_->main = Connection::open(":memory:", nullptr);
    if (impl_->main) Schema::prepare(*impl_->main, kSchemaVersion, nullptr);
    impl_->writer.reset();
    return false;
}

void Store::keepLogSmall() {
    if (!impl_->writer) return;
    // The log grows between its copies into the database by as much as a thousand pages, and
    // on a full disk it could no longer be copied back (the database must grow for it) nor
    // shrink. Where room is short it is copied back after every save and written again from
    // its start.
    std::error_code ec;
    const auto room = std::filesystem::space(impl_->file.parent_path(), ec);
    if (!ec && room.available < kShortRoom) {
        impl_->writer->checkpointAndRestart();
        impl_->writer->holdToTakenRoom(room.available >= 4 * Connection::kGrowthStep);
    } else {
        impl_->writer->releaseTakenRoomHold();
        impl_->writer->checkpointIfDue();
    }
}

bool Store::isOpen() const { return !impl_->openError; }
const StoreError& Store::openError() const { return impl_->openError; }
const std::filesystem::path& Store::file() const { return impl_->file; }
Context& Store::mainContext() { return *impl_->mainContext; }
bool Store::isMainThread() const { return plat::RunLoop::main().isLoopThread(); }

std::string Store::failureReason(const StoreError& error) {
    switch (error.code) {
        case StoreError::Code::diskFull: return StorageAlert::diskFullReason();
        case StoreError::Code::readOnly: return Language::get("the database file is read-only");
        case StoreError::Code::noPermission: return Language::get("quorix has no permission to use the database file");
        case StoreError::Code::damaged: return Language::get("the database file is damaged");
        default: return error.message;
    }
}

void Store::reportFailedChange(const std::string& who, const std::string& titleKey, const std::string& messageKey,
                               const StoreError* error) {
    const StoreError unknown = StoreError::make(StoreError::Code::sqlite, "the store refused the change");
    const StoreError& cause = error ? *error : unknown;
    plat::Log::line(who + ": " + cause.message);
    StorageAlert::show(titleKey, messageKey, failureReason(cause));
}

std::int64_t Store::allocateRow(EntityKind entity) { return ++impl_->nextRow[static_cast<int>(entity)]; }

void Store::refreshAlarmThreshold() {
    alarmThreshold_ = Settings::sharedSettings().DERthreshold().firstThreshold->value();
}

bool Store::runSave(const std::function<void(Context&)>& block, ChangeSet& changes, StoreError* error) {
    if (!impl_->writer) {
        reportError(error, impl_->openError ? impl_->openError
                                            : StoreError::make(StoreError::Code::closed, "the store is closed"));
        return false;
    }
    Connection& writer = *impl_->writer;
    writer.checkpointIfDue();  // what a save before left, whichever way it was made
    if (!writer.begin(error)) return false;
    bool ok;
    {
        auto context = Context::make(*this, writer, Context::Kind::privateQueue);
        if (block) block(*context);
        ok = context->saveInOpenTransaction(changes, error);
    }
    if (!ok) {
        writer.rollback();
        return false;
    }
    return writer.commit(error);
}

void Store::mergeOnMain(ChangeSet changes, bool ok, StoreError error, SaveCompletion completion) {
    std::weak_ptr<bool> alive = impl_->alive;
    auto merge = [this, alive, changes = std::move(changes), ok, error = std::move(error),
                  completion = std::move(completion)] {
        if (auto a = alive.lock(); a && *a && ok && !changes.empty()) impl_->mainContext->mergeChanges(changes);
        if (!ok) plat::Log::line("Store: save failed: " + error.message);
        if (completion) completion(ok, ok ? nullptr : &error);
    };
    // A save let go while it waited (for another program holding the store) has its
    // completion's requests let go as well.
    plat::RunLoop::main().postResult(plat::RunLoop::currentWork(), std::move(merge));
}

void Store::saveWithBlock(std::function<void(Context&)> block, SaveCompletion completion) {
    if (isMainThread()) refreshAlarmThreshold();
    plat::dispatch::onQueue(*impl_->queue, [this, block = std::move(block), completion = std::move(completion)] {
        ChangeSet changes;
        StoreError error;
        const bool ok = runSave(block, changes, &error);
        mergeOnMain(std::move(changes), ok, std::move(error), completion);
        // The main thread merges and reads meanwhile: the log is copied back off its path.
        keepLogSmall();
    });
}

bool Store::saveWithBlockAndWait(std::function<void(Context&)> block, StoreError* error) {
    if (isMainThread()) refreshAlarmThreshold();
    ChangeSet changes;
    StoreError local;
    bool ok = false;
    impl_->queue->sync([&] {
        ok = runSave(block, changes, &local);
        keepLogSmall();
    });
    if (!ok) {
        reportError(error, local);
        plat::Log::line("Store: save failed: " + local.message);
        return false;
    }
    if (isMainThread()) {
        if (!changes.empty()) impl_->mainContext->mergeChanges(changes);
    } else {
        mergeOnMain(std::move(changes), true, {}, {});
    }
    return true;
}

void Store::saveUsingCurrentThreadContextWithBlock(std::function<void(Context&)> block, SaveCompletion completion) {
    if (!isMainThread()) {
        StoreError error;
        const bool ok = saveWithBlockAndWait(std::move(block), &error);
        if (completion)
            plat::RunLoop::main().post(
                [completion = std::move(completion), ok, error] { completion(ok, ok ? nullptr : &error); });
        return;
    }
    Context& context = mainContext();
    if (block) block(context);
    StoreError error;
    const bool ok = context.save(&error);
    if (!ok) plat::Log::line("Store: save failed: " + error.message);
    if (completion)
        plat::RunLoop::main().post([completion = std::move(completion), ok, error] { completion(ok, ok ? nullptr : &error); });
}

bool Store::wipe(StoreError* error) {
    // Saves already asked for finish first; their merges find nothing left to refresh.
    impl_->queue->sync([this] { impl_->writer.reset(); });
    impl_->mainContext->invalidateAll();
    impl_->main.reset();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ec;
        std::filesystem::remove(impl_->file.string() + suffix, ec);
    }
    StoreError local;
    bool ok = openConnections(&local);
    // The new file starts with an empty log, like one never written.
    ok = ok && impl_->main->exec("PRAGMA wal_checkpoint(TRUNCATE)", &local);
    impl_->openError = ok ? StoreError{} : local;
    impl_->mainContext->connection_ = impl_->main.get();
    if (!ok) reportError(error, local);
    ChangeSet reset;
    reset.reset = true;
    impl_->mainContext->notifyObservers(reset);
    return ok;
}

}  // namespace qx
