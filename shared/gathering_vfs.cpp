#include "gathering_vfs.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sqlite3.h>

namespace tb {

namespace {
// The system layer writes at most 128 KiB in one call.
constexpr int kBlock = 64 * 1024;

struct GatheringFile {
    sqlite3_file base;
    sqlite3_file* real; // the system layer's file, right behind this struct
    char* buffer;       // gathered bytes, or nullptr while nothing was gathered yet
    sqlite3_int64 start;
    int length;
    bool gathers; // a database file or its rollback journal
};

sqlite3_vfs* systemVfs = nullptr;
sqlite3_vfs vfs;
sqlite3_io_methods methods;
sqlite3_io_methods methodsV2;

GatheringFile* of(sqlite3_file* f) {
    return reinterpret_cast<GatheringFile*>(f);
}

const sqlite3_io_methods* realOf(GatheringFile* f) {
    return f->real->pMethods;
}

int flush(GatheringFile* f) {
    if (f->length == 0)
        return SQLITE_OK;
    const int length = f->length;
    f->length = 0;
    return realOf(f)->xWrite(f->real, f->buffer, length, f->start);
}

int xClose(sqlite3_file* file) {
    GatheringFile* f = of(file);
    const int flushed = flush(f);
    const int closed = realOf(f)->xClose(f->real);
    std::free(f->buffer);
    f->buffer = nullptr;
    return flushed != SQLITE_OK ? flushed : closed;
}

int xRead(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset) {
    GatheringFile* f = of(file);
    if (f->length > 0 && offset < f->start + f->length && offset + amount > f->start) {
        const int rc = flush(f);
        if (rc != SQLITE_OK)
            return rc;
    }
    return realOf(f)->xRead(f->real, data, amount, offset);
}

int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    GatheringFile* f = of(file);
    if (!f->gathers)
        return realOf(f)->xWrite(f->real, data, amount, offset);
    if (f->length > 0 && offset == f->start + f->length && f->length + amount <= kBlock) {
        std::memcpy(f->buffer + f->length, data, static_cast<size_t>(amount));
        f->length += amount;
        return SQLITE_OK;
    }
    const int rc = flush(f);
    if (rc != SQLITE_OK)
        return rc;
    if (amount >= kBlock)
        return realOf(f)->xWrite(f->real, data, amount, offset);
    if (!f->buffer && !(f->buffer = static_cast<char*>(std::malloc(kBlock))))
        return realOf(f)->xWrite(f->real, data, amount, offset);
    std::memcpy(f->buffer, data, static_cast<size_t>(amount));
    f->start = offset;
    f->length = amount;
    return SQLITE_OK;
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size) {
    GatheringFile* f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xTruncate(f->real, size);
}

int xSync(sqlite3_file* file, int flags) {
    GatheringFile* f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xSync(f->real, flags);
}

int xFileSize(sqlite3_file* file, sqlite3_int64* size) {
    GatheringFile* f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xFileSize(f->real, size);
}

int xLock(sqlite3_file* file, int level) {
    GatheringFile* f = of(file);
    return realOf(f)->xLock(f->real, level);
}

int xUnlock(sqlite3_file* file, int level) {
    GatheringFile* f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xUnlock(f->real, level);
}

int xCheckReservedLock(sqlite3_file* file, int* out) {
    GatheringFile* f = of(file);
    return realOf(f)->xCheckReservedLock(f->real, out);
}

int xFileControl(sqlite3_file* file, int op, void* arg) {
    GatheringFile* f = of(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xFileControl(f->real, op, arg);
}

int xSectorSize(sqlite3_file* file) {
    GatheringFile* f = of(file);
    return realOf(f)->xSectorSize(f->real);
}

int xDeviceCharacteristics(sqlite3_file* file) {
    GatheringFile* f = of(file);
    return realOf(f)->xDeviceCharacteristics(f->real);
}

int xShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
    GatheringFile* f = of(file);
    return realOf(f)->xShmMap(f->real, region, size, extend, out);
}

int xShmLock(sqlite3_file* file, int offset, int n, int flags) {
    GatheringFile* f = of(file);
    return realOf(f)->xShmLock(f->real, offset, n, flags);
}

void xShmBarrier(sqlite3_file* file) {
    GatheringFile* f = of(file);
    realOf(f)->xShmBarrier(f->real);
}

int xShmUnmap(sqlite3_file* file, int remove) {
    GatheringFile* f = of(file);
    return realOf(f)->xShmUnmap(f->real, remove);
}

// Memory-mapped reads see the file as the system has it: the gathered bytes go first.
int xFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
    GatheringFile* f = of(file);
    *out = nullptr;
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : realOf(f)->xFetch(f->real, offset, amount, out);
}

int xUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
    GatheringFile* f = of(file);
    return realOf(f)->xUnfetch(f->real, offset, page);
}

// The real file lies behind the struct, aligned for any member of the system's own.
constexpr int kHeader = (sizeof(GatheringFile) + 15) / 16 * 16;

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    GatheringFile* f = of(file);
    f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kHeader);
    f->real->pMethods = nullptr;
    f->buffer = nullptr;
    f->start = 0;
    f->length = 0;
    f->gathers = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL)) != 0;
    const int rc = systemVfs->xOpen(systemVfs, name, f->real, flags, outFlags);
    // Only a file that opened is closed through this layer. A layer without memory-mapped
    // reads gets none.
    if (rc != SQLITE_OK || !f->real->pMethods) {
        if (f->real->pMethods)
            f->real->pMethods->xClose(f->real);
        file->pMethods = nullptr;
    } else
        file->pMethods = f->real->pMethods->iVersion >= 3 ? &methods : &methodsV2;
    return rc;
}
} // namespace

const char* gatheringVfs() {
    static std::once_flag once;
    std::call_once(once, [] {
        systemVfs = sqlite3_vfs_find(nullptr);
        vfs = *systemVfs;
        vfs.zName = "tb-gathering";
        vfs.szOsFile = kHeader + systemVfs->szOsFile;
        vfs.xOpen = xOpen;
        vfs.pNext = nullptr;
        methods.iVersion = 3;
        methods.xClose = xClose;
        methods.xRead = xRead;
        methods.xWrite = xWrite;
        methods.xTruncate = xTruncate;
        methods.xSync = xSync;
        methods.xFileSize = xFileSize;
        methods.xLock = xLock;
        methods.xUnlock = xUnlock;
        methods.xCheckReservedLock = xCheckReservedLock;
        methods.xFileControl = xFileControl;
        methods.xSectorSize = xSectorSize;
        methods.xDeviceCharacteristics = xDeviceCharacteristics;
        methods.xShmMap = xShmMap;
        methods.xShmLock = xShmLock;
        methods.xShmBarrier = xShmBarrier;
        methods.xShmUnmap = xShmUnmap;
        methodsV2 = methods;
        methodsV2.iVersion = 2;
        methods.xFetch = xFetch;
        methods.xUnfetch = xUnfetch;
        sqlite3_vfs_register(&vfs, 0);
    });
    return vfs.zName;
}

} // namespace tb
