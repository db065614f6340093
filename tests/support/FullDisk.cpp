#include "FullDisk.h"

#include <sqlite3.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/foundation/FileUtil.h"

namespace qxtest {

namespace {

constexpr long long kUnlimited = -1;
std::atomic<long long> budget{kUnlimited};
std::atomic<std::size_t> refused{0};
std::atomic<bool> everyWriteTakesRoom{false};

// Takes `bytes` from the budget; false when they do not fit.
bool spend(std::size_t bytes) {
    long long left = budget.load();
    while (left != kUnlimited) {
        if (static_cast<long long>(bytes) > left) {
            ++refused;
            return false;
        }
        if (budget.compare_exchange_weak(left, left - static_cast<long long>(bytes))) return true;
    }
    return true;
}

// An SQLite file of the default layer with its writes going through the budget.
struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;  // follows this struct in the same allocation
    bool inDataFolder;   // the database and its logs; SQLite's temporary files live elsewhere
};

sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;
sqlite3_io_methods shimMethods;

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

int shimClose(sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); }
int shimRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), p, n, o); }
// As on an ordinary disk, only growing a file takes space: a write over bytes the file already
// has (a log's frames written again after a rollback or a checkpoint) still succeeds on a full
// disk. On a copy-on-write disk every byte written takes room.
int shimWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 o) {
    if (reinterpret_cast<ShimFile*>(f)->inDataFolder) {
        sqlite3_int64 size = 0;
        std::size_t taken = 0;
        if (everyWriteTakesRoom) {
            taken = static_cast<std::size_t>(n);
        } else if (realOf(f)->pMethods->xFileSize(realOf(f), &size) == SQLITE_OK && o + n > size) {
            taken = static_cast<std::size_t>(o + n - size);
        }
        if (taken > 0 && !spend(taken)) return SQLITE_FULL;
    }
    return realOf(f)->pMethods->xWrite(realOf(f), p, n, o);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 size) { return realOf(f)->pMethods->xTruncate(realOf(f), size); }
int shimSync(sqlite3_file* f, int flags) { return realOf(f)->pMethods->xSync(realOf(f), flags); }
int shimFileSize(sqlite3_file* f, sqlite3_int64* size) { return realOf(f)->pMethods->xFileSize(realOf(f), size); }
int shimLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int shimUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int shimCheckReserved(sqlite3_file* f, int* out) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out); }
int shimFileControl(sqlite3_file* f, int op, void* arg) {
    return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
}
int shimSectorSize(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int shimDeviceCharacteristics(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int shimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return realOf(f)->pMethods->xShmMap(realOf(f), page, size, extend, out);
}
int shimShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return realOf(f)->pMethods->xShmLock(realOf(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int shimShmUnmap(sqlite3_file* f, int deleteFlag) { return realOf(f)->pMethods->xShmUnmap(realOf(f), deleteFlag); }
int shimFetch(sqlite3_file* f, sqlite3_int64 o, int n, void** out) {
    return realOf(f)->pMethods->xFetch(realOf(f), o, n, out);
}
int shimUnfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return realOf(f)->pMethods->xUnfetch(realOf(f), o, p); }

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    auto* shim = reinterpret_cast<ShimFile*>(f);
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    shim->inDataFolder = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL)) != 0;
    const int rc = realVfs->xOpen(realVfs, name, shim->real, flags, outFlags);
    // A file the real layer did not open has no methods, and SQLite then closes nothing.
    f->pMethods = shim->real->pMethods ? &shimMethods : nullptr;
    return rc;
}

void installShim() {
    if (realVfs) return;
    realVfs = sqlite3_vfs_find(nullptr);
    shimVfs = *realVfs;
    shimVfs.zName = "qxtest-full-disk";
    shimVfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + realVfs->szOsFile;
    shimVfs.xOpen = shimOpen;
    shimMethods = {3,           shimClose,     shimRead,        shimWrite,        shimTruncate,
                   shimSync,    shimFileSize,  shimLock,        shimUnlock,       shimCheckReserved,
                   shimFileControl, shimSectorSize, shimDeviceCharacteristics, shimShmMap, shimShmLock,
                   shimShmBarrier, shimShmUnmap, shimFetch,     shimUnfetch};
    sqlite3_vfs_register(&shimVfs, 1);
}

}  // namespace

FullDisk::FullDisk() {
    installShim();
    refused = 0;
    plat::file::setWriteFilter([](std::size_t bytes) {
        if (spend(bytes)) return true;
        errno = ENOSPC;
        return false;
    });
}

FullDisk::~FullDisk() {
    makeRoom();
    plat::file::setWriteFilter(nullptr);
}

void FullDisk::fillAfter(std::size_t bytes, Room taken) {
    everyWriteTakesRoom = taken == Room::forEveryWrite;
    budget = static_cast<long long>(bytes);
}
void FullDisk::makeRoom() {
    budget = kUnlimited;
    everyWriteTakesRoom = false;
}
std::size_t FullDisk::refusedWrites() const { return refused.load(); }

}  // namespace qxtest
