#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/StoreError.h"
#include "store/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qx {

// One SQLite connection with a cache of prepared statements. Used by one thread at a time.
class Connection {
public:
    // A prepared statement taken from the cache for the duration of one use: reset, cleared and
    // given back when the object goes, so a statement can be in use twice (nested) safely.
    class Statement {
    public:
        Statement(Connection* owner, const std::string* sql, sqlite3_stmt* stmt)
            : owner_(owner), sql_(sql), stmt_(stmt) {}
        Statement(Statement&& other) noexcept;
        Statement& operator=(Statement&&) = delete;
        ~Statement();

        explicit operator bool() const { return stmt_ != nullptr; }
        void bind(int index, const Value& value);  // 1-based
        void bindInteger(int index, std::int64_t value);
        void bindAll(const std::vector<Value>& values, int first = 1);
        // 1: a row is ready; 0: done; -1: failed (the connection's lastError says why).
        int step();
        bool run(StoreError* error);  // steps to the end
        // Makes the statement ready to run again with new values, keeping it out of the cache:
        // a loop writing many rows prepares and hands it back once.
        void reset();

        int columnCount() const;
        Value column(int index) const;
        std::int64_t columnInt(int index) const;
        double columnDouble(int index) const;
        bool columnIsNull(int index) const;

    private:
        Connection* owner_;
        const std::string* sql_;
        sqlite3_stmt* stmt_;
    };

    // Told, on the waiting thread, when a statement has waited kNoticeSeconds for the database
    // another program holds (true), and when that wait is over (false).
    using OthersWaitObserver = std::function<void(bool waiting)>;
    static void setOthersWaitObserver(OthersWaitObserver observer);
    static constexpr double kNoticeSeconds = 0.5;
    // How long a statement waits for a lock this program's other connection holds (a save under
    // way); a lock held by another program is waited for until it is let go.
    static constexpr double kOwnWaitSeconds = 30;

    static std::unique_ptr<Connection> open(const std::filesystem::path& file, StoreError* error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Statement prepare(const std::string& sql, StoreError* error = nullptr);
    bool exec(const std::string& sql, StoreError* error = nullptr);
    // A write transaction that takes the write lock at once, so what it reads stays true until
    // it commits. The first statement that fails inside it ends it: nothing more runs on the
    // connection until rollback(), and commit() rolls back and reports that first failure. So a
    // save is written whole or not at all, even where a caller did not look at an error, and
    // nothing runs on after SQLite itself rolled back (as it does on a full disk).
    bool begin(StoreError* error = nullptr);
    bool commit(StoreError* error = nullptr);
    void rollback();
    // Between begin() and commit() or rollback(), whatever SQLite did meanwhile.
    bool inTransaction() const { return transaction_; }
    // The failure that ended the open transaction; none while it is sound.
    const StoreError& transactionFailure() const { return failure_; }

    // Leaves copying the write-ahead log back into the database to checkpointIfDue(), instead
    // of each commit that grows the log past its limit doing it before it returns.
    void deferCheckpoints();
    // Copies the log back (without waiting for readers) once the commits made it long.
    void checkpointIfDue();
    // Copies the whole log back, waiting for readers, so that the next save writes the log
    // from its start again: its file keeps the length of one save, room a full disk still has
    // for a small save.
    void checkpointAndRestart();
    // The step by which the database file grows (bytes).
    static constexpr std::uintmax_t kGrowthStep = 64 * 1024;
    // On a disk about to fill: keeps the database to the pages its file holds already (after
    // asking the disk for a step more, when `takeMore`), so that no save commits pages the log
    // could not be copied back into once the disk is full, and the log can always start again
    // for the next small save. A save that would need more fails as on a full disk.
    void holdToTakenRoom(bool takeMore);
    // Lets the database grow as it needs again (the disk has room).
    void releaseTakenRoomHold();
    // Whether a statement waits for a lock another connection holds (as a save should; see
    // onBusy) or gives up at once (a write the main thread can do without).
    void waitForLocks(bool wait);
    // Whether SQLite could open the file for reading only (its permissions or its file system).
    bool isReadOnly() const;

    StoreError lastError(const std::string& what) const;
    sqlite3* handle() const { return db_; }

private:
    explicit Connection(sqlite3* db) : db_(db) {}
    void release(const std::string* sql, sqlite3_stmt* stmt);
    // Notes a failed statement; inside a transaction the first one ends it.
    void noteFailure(const std::string& what);
    bool refusing(StoreError* error) const;
    static int onBusy(void* self, int count);
    // After a call that may have waited for the lock: says the wait that was told is over.
    void endWait();
    void setInTransaction(bool open);

    sqlite3* db_;
    bool transaction_ = false;
    int logFrames_ = 0;  // pages in the log after this connection's last commit, when deferring
    bool checkpointing_ = false;  // a checkpoint waits for readers, never for long
    bool toldWaiting_ = false;
    std::chrono::steady_clock::time_point busySince_;
    bool waitsForLocks_ = true;
    bool heldToTakenRoom_ = false;  // false: a statement gives up at once on another's lock
    StoreError failure_;
    std::unordered_map<std::string, std::vector<sqlite3_stmt*>> idle_;
};

}  // namespace qx
