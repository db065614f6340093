#include "store/Connection.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/foundation/FileUtil.h"

namespace qx {

namespace {

// This program's connections inside a write transaction: a lock one of them holds is let go
// when its save ends, and a wait for it is bounded as SQLite's own busy time-out would be.
std::atomic<int> ownWriters{0};

std::mutex observerMutex;
Connection::OthersWaitObserver& othersWaitObserver() {
    static Connection::OthersWaitObserver observer;
    return observer;
}

void tellOthersWait(bool waiting) {
    std::lock_guard lock(observerMutex);
    if (const auto& observer = othersWaitObserver()) observer(waiting);
}

// SQLite's own steps between tries, then a tenth of a second: a lock let go is taken soon.
std::chrono::milliseconds busyPause(int count) {
    static constexpr int kSteps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50};
    constexpr int kStepCount = static_cast<int>(std::size(kSteps));
    return std::chrono::milliseconds(count < kStepCount ? kSteps[count] : 100);
}

// What a failure means to the person, from SQLite's code and, for a failed file operation, the
// system's error number (which SQLite keeps from its last such failure only, so it is read for
// those alone).
StoreError::Code classify(sqlite3* db) {
    const int code = sqlite3_extended_errcode(db) & 0xff;
    if (code == SQLITE_FULL) return StoreError::Code::diskFull;
    if (code == SQLITE_READONLY) return StoreError::Code::readOnly;
    if (code == SQLITE_PERM) return StoreError::Code::noPermission;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) return StoreError::Code::damaged;
    if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN) {
        const int system = sqlite3_system_errno(db);
        if (plat::file::isOutOfRoom(system)) return StoreError::Code::diskFull;
        if (system == EROFS) return StoreError::Code::readOnly;
        if (system == EACCES || system == EPERM) return StoreError::Code::noPermission;
    }
    return code == SQLITE_CANTOPEN ? StoreError::Code::cannotOpen : StoreError::Code::sqlite;
}

}  // namespace

Connection::Statement::Statement(Statement&& other) noexcept
    : owner_(other.owner_), sql_(other.sql_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Connection::Statement::~Statement() {
    if (stmt_) owner_->release(sql_, stmt_);
}

void Connection::Statement::bind(int index, const Value& value) {
    switch (value.type()) {
        case Value::Type::null: sqlite3_bind_null(stmt_, index); break;
        case Value::Type::integer: sqlite3_bind_int64(stmt_, index, value.integer()); break;
        case Value::Type::real: sqlite3_bind_double(stmt_, index, value.real()); break;
        case Value::Type::text:
            sqlite3_bind_text(stmt_, index, value.text().data(), static_cast<int>(value.text().size()), SQLITE_TRANSIENT);
            break;
        case Value::Type::object: sqlite3_bind_int64(stmt_, index, value.object().row); break;
    }
}

void Connection::Statement::bindInteger(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Connection::Statement::bindAll(const std::vector<Value>& values, int first) {
    for (std::size_t i = 0; i < values.size(); ++i) bind(first + static_cast<int>(i), values[i]);
}

int Connection::Statement::step() {
    if (owner_->refusing(nullptr)) return -1;
    const int rc = sqlite3_step(stmt_);
    owner_->endWait();
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE) return 0;
    owner_->noteFailure("statement");
    return -1;
}

bool Connection::Statement::run(StoreError* error) {
    int rc;
    while ((rc = step()) == 1) {
    }
    if (rc < 0) {
        reportError(error, owner_->failure_ ? owner_->failure_ : owner_->lastError("statement"));
        return false;
    }
    return true;
}

void Connection::Statement::reset() { sqlite3_reset(stmt_); }

int Connection::Statement::columnCount() const { return sqlite3_column_count(stmt_); }

Value Connection::Statement::column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
        case SQLITE_INTEGER: return Value(static_cast<long long>(sqlite3_column_int64(stmt_, index)));
        case SQLITE_FLOAT: return Value(sqlite3_column_double(stmt_, index));
        case SQLITE_TEXT: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
            return Value(std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index))));
        }
        default: return Value();
    }
}

std::int64_t Connection::Statement::columnInt(int index) const { return sqlite3_column_int64(stmt_, index); }
double Connection::Statement::columnDouble(int index) const { return sqlite3_column_double(stmt_, index); }
bool Connection::Statement::columnIsNull(int index) const { return sqlite3_column_type(stmt_, index) == SQLITE_NULL; }

std::unique_ptr<Connection> Connection::open(const std::filesystem::path& file, StoreError* error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        const auto code = db ? classify(db) : StoreError::Code::cannotOpen;
        reportError(error, StoreError::make(code == StoreError::Code::sqlite ? StoreError::Code::cannotOpen : code,
                                            "cannot open " + file.string() + ": " + (db ? sqlite3_errmsg(db) : "")));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    // The database file grows by whole steps, so that room it was given stays with it when
    // copying the log back trims the file to its pages (see holdToTakenRoom).
    int step = static_cast<int>(kGrowthStep);
    sqlite3_file_control(db, "main", SQLITE_FCNTL_CHUNK_SIZE, &step);
    std::unique_ptr<Connection> connection(new Connection(db));
    // A statement waits for a lock another connection holds rather than failing (see onBusy).
    sqlite3_busy_handler(db, &Connection::onBusy, connection.get());
    return connection;
}

void Connection::setOthersWaitObserver(OthersWaitObserver observer) {
    std::lock_guard lock(observerMutex);
    othersWaitObserver() = std::move(observer);
}

int Connection::onBusy(void* self, int count) {
    auto* c = static_cast<Connection*>(self);
    if (!c->waitsForLocks_) return 0;
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) c->busySince_ = now;
    const double waited = std::chrono::duration<double>(now - c->busySince_).count();
    const bool ownHolder = ownWriters.load() > (c->transaction_ ? 1 : 0);
    if (ownHolder || c->checkpointing_) {
        if (waited >= kOwnWaitSeconds) return 0;
    } else if (waited >= kNoticeSeconds && !c->toldWaiting_) {
        // Another program writes to the store (or holds it while it looks at it): what is
        // stored stays as it is until it lets go, and losing a save to it would lose readings.
        c->toldWaiting_ = true;
        tellOthersWait(true);
    }
    std::this_thread::sleep_for(busyPause(count));
    return 1;
}

void Connection::endWait() {
    if (!toldWaiting_) return;
    toldWaiting_ = false;
    tellOthersWait(false);
}

void Connection::setInTransaction(bool open) {
    if (open == transaction_) return;
    transaction_ = open;
    ownWriters += open ? 1 : -1;
}

void Connection::waitForLocks(bool wait) { waitsForLocks_ = wait; }

Connection::~Connection() {
    setInTransaction(false);
    for (auto& [sql, list] : idle_)
        for (auto* s : list) sqlite3_finalize(s);
    sqlite3_close(db_);
}

Connection::Statement Connection::prepare(const std::string& sql, StoreError* error) {
    auto it = idle_.find(sql);
    if (it == idle_.end()) it = idle_.emplace(sql, std::vector<sqlite3_stmt*>{}).first;
    if (refusing(error)) return Statement(this, &it->first, nullptr);
    if (!it->second.empty()) {
        sqlite3_stmt* s = it->second.back();
        it->second.pop_back();
        return Statement(this, &it->first, s);
    }
    sqlite3_stmt* s = nullptr;
    const int rc =
        sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    endWait();
    if (rc != SQLITE_OK) {
        noteFailure("prepare");
        reportError(error, failure_ ? failure_ : lastError("prepare"));
        sqlite3_finalize(s);
        return Statement(this, &it->first, nullptr);
    }
    return Statement(this, &it->first, s);
}

void Connection::release(const std::string* sql, sqlite3_stmt* stmt) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    idle_[*sql].push_back(stmt);
}

bool Connection::exec(const std::string& sql, StoreError* error) {
    if (refusing(error)) return false;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    endWait();
    if (rc != SQLITE_OK) {
        noteFailure("exec");
        reportError(error, failure_ ? failure_ : lastError("exec"));
        return false;
    }
    return true;
}

void Connection::noteFailure(const std::string& what) {
    if (transaction_ && !failure_) failure_ = lastError(what);
}

bool Connection::refusing(StoreError* error) const {
    if (!failure_) return false;
    reportError(error, failure_);
    return true;
}

bool Connection::begin(StoreError* error) {
    if (transaction_) rollback();  // a transaction left open by mistake is not joined
    if (!exec("BEGIN IMMEDIATE", error)) return false;
    setInTransaction(true);
    failure_ = {};
    return true;
}

bool Connection::commit(StoreError* error) {
    if (failure_) {
        const StoreError first = failure_;
        rollback();
        reportError(error, first);
        return false;
    }
    if (sqlite3_get_autocommit(db_) != 0) {
        // SQLite rolled the transaction back by itself; what ran since ran on its own.
        rollback();
        reportError(error, StoreError::make(StoreError::Code::sqlite, "commit: the transaction was rolled back"));
        return false;
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        setInTransaction(false);
        return true;
    }
    const StoreError failed = lastError("commit");
    rollback();
    reportError(error, failed);
    return false;
}

void Connection::rollback() {
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    setInTransaction(false);
    failure_ = {};
}

namespace {
// SQLite's own limit for a checkpoint after commit.
constexpr int kCheckpointFrames = 1000;
}  // namespace

void Connection::deferCheckpoints() {
    sqlite3_wal_hook(
        db_,
        [](void* self, sqlite3*, const char*, int frames) {
            static_cast<Connection*>(self)->logFrames_ = frames;
            return SQLITE_OK;
        },
        this);
}

void Connection::checkpointIfDue() {
    if (logFrames_ < kCheckpointFrames || transaction_) return;
    logFrames_ = 0;
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void Connection::holdToTakenRoom(bool takeMore) {
    const char* path = sqlite3_db_filename(db_, "main");
    if (!path || !*path) return;
    std::error_code ec;
    if (takeMore) {
        // Asks the disk now for one more step, while it has room for it.
        sqlite3_int64 wanted = static_cast<sqlite3_int64>(std::filesystem::file_size(path, ec) + kGrowthStep);
        if (!ec) sqlite3_file_control(db_, "main", SQLITE_FCNTL_SIZE_HINT, &wanted);
    }
    const auto taken = std::filesystem::file_size(path, ec);
    if (ec) return;
    std::int64_t pageSize = 0;
    if (auto stmt = prepare("PRAGMA page_size"); stmt && stmt.step() == 1) pageSize = stmt.columnInt(0);
    if (pageSize <= 0) return;
    // SQLite keeps at least the pages the database has.
    exec("PRAGMA max_page_count = " + std::to_string(static_cast<std::int64_t>(taken) / pageSize), nullptr);
    heldToTakenRoom_ = true;
}

void Connection::releaseTakenRoomHold() {
    if (!heldToTakenRoom_) return;
    heldToTakenRoom_ = false;
    exec("PRAGMA max_page_count = 4294967294", nullptr);
}

void Connection::checkpointAndRestart() {
    if (transaction_) return;
    logFrames_ = 0;
    checkpointing_ = true;
    sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
    checkpointing_ = false;
}

StoreError Connection::lastError(const std::string& what) const {
    // The causes a person can act on are told apart, for words of their own language.
    return StoreError::make(classify(db_), what + ": " + sqlite3_errmsg(db_));
}

bool Connection::isReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }

}  // namespace qx
