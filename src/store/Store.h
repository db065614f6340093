#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

#include "store/Context.h"
#include "store/StoreError.h"

namespace qx {

// Completion of a save: success, and the error when it failed. Runs on the main thread.
using SaveCompletion = std::function<void(bool success, const StoreError* error)>;

// The object store: one SQLite file in WAL mode with foreign keys on, its schema versioned and
// upgraded in place when opened. It owns the main context (main thread) and a save thread whose
// own connection runs the saves with a block, one after the other, each in one transaction,
// their changes then merged into the main context on the main thread.
class Store {
public:
    static constexpr const char* kFileName = "VennorlabsDB.sqlite";
    static constexpr int kSchemaVersion = 6;
    // Free room on the store's disk below which the write-ahead log is emptied after each save.
    static constexpr std::uintmax_t kShortRoom = 16u << 20;
    // The page cache of the save thread's connection (KiB), and no mapping of the file: a large
    // save into a large store reads index pages from all over the file, and mapped pages it has
    // read stay in the program's memory, up to the whole file.
    static constexpr const char* kSaveCachePragma = "PRAGMA cache_size = -65536; PRAGMA mmap_size = 0";

    // The application's store, in the data folder; opened on first use, which belongs on the
    // main thread (launch does it) since the main context is bound there.
    static Store& defaultStore();
    // Closes the application's store (waiting for saves under way); the next defaultStore()
    // opens it again. For a data folder that changed.
    static void closeDefaultStore();

    explicit Store(std::filesystem::path file);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    bool isOpen() const;
    const StoreError& openError() const;
    const std::filesystem::path& file() const;

    // The main thread's context.
    Context& mainContext();
    // The main context on the main thread; on any other thread a fresh private context of that
    // thread's save (see saveUsingCurrentThreadContextWithBlock).
    bool isMainThread() const;

    // Runs `block` in a private context on the save thread and writes what it did in one
    // transaction; then, on the main thread, merges the changes into the main context and runs
    // `completion`. Saves run in the order they were asked for.
    void saveWithBlock(std::function<void(Context&)> block, SaveCompletion completion = {});
    // The same, waiting for the write; the merge still happens on the main thread (at once when
    // called there).
    bool saveWithBlockAndWait(std::function<void(Context&)> block, StoreError* error = nullptr);
    // Runs `block` in the calling thread's context and saves it: on the main thread that is the
    // main context; elsewhere a private context saved as by saveWithBlockAndWait. The
    // completion runs on the main thread.
    void saveUsingCurrentThreadContextWithBlock(std::function<void(Context&)> block, SaveCompletion completion = {});

    // Deletes every stored object by recreating an empty database file (its WAL and
    // shared-memory files too). Objects held by the main context become deleted and its
    // observers are told, so live lists empty themselves.
    bool wipe(StoreError* error = nullptr);

    // The dose rate above which a reading counts as an alarm in the stored alarm counts. Read
    // from the preferences on the main thread; saves on other threads use the last value seen.
    double alarmThreshold() const { return alarmThreshold_.load(); }
    void refreshAlarmThreshold();

    // Why a save failed, for a message: a cause the person can act on (a full disk, a read-only,
    // forbidden or damaged file) in their words, else the store's.
    static std::string failureReason(const StoreError& error);
    // A change the person asked for was not stored: logs it under `who` and tells them in an
    // alert (language keys; the message's "%@" becomes the reason).
    static void reportFailedChange(const std::string& who, const std::string& titleKey,
                                   const std::string& messageKey, const StoreError* error);

    // --- for the store's own classes ---
    std::int64_t allocateRow(EntityKind entity);

private:
    struct Impl;
    bool openConnections(StoreError* error);
    void keepLogSmall();
    bool runSave(const std::function<void(Context&)>& block, ChangeSet& changes, StoreError* error);
    void mergeOnMain(ChangeSet changes, bool ok, StoreError error, SaveCompletion completion);

    std::unique_ptr<Impl> impl_;
    std::atomic<double> alarmThreshold_{0};
};

}  // namespace qx
