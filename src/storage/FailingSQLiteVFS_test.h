#pragma once

// A SQLite file system for tests that fails the operations it is told to, on the files whose name
// holds a given text (a database and its journal), and passes everything else to the default file
// system. While it lives it is the default, so connections opened meanwhile use it; close them
// before it ends. Its sleeps return at once, so a busy time-out runs out without waiting.

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/SQLiteLibrary.h"

namespace brindlecue::testsupport {

class FailingSQLiteVFS {
public:
    // The faults, each on every call of its kind until it is cleared.
    std::atomic<bool> failOpen = false;          // opening the file: SQLITE_CANTOPEN
    std::atomic<bool> failRead = false;          // reading: SQLITE_IOERR_READ
    std::atomic<bool> failWrite = false;         // writing: SQLITE_IOERR_WRITE
    std::atomic<bool> failSync = false;          // flushing: SQLITE_IOERR_FSYNC
    std::atomic<bool> failReservedLock = false;  // taking the lock a writer needs: SQLITE_IOERR_LOCK
    std::atomic<bool> busyExclusiveLock = false; // the lock a commit needs is held elsewhere: SQLITE_BUSY

    explicit FailingSQLiteVFS(std::string fileNamePart) : part_(std::move(fileNamePart)) {
        platform::SQLiteLibrary::configure();
        real_ = sqlite3_vfs_find(nullptr);
        vfs_ = *real_;
        vfs_.zName = "brindlecue-failing";
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
        vfs_.pAppData = this;
        vfs_.xOpen = &FailingSQLiteVFS::open;
        vfs_.xSleep = [](sqlite3_vfs*, int microseconds) { return microseconds; };
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FailingSQLiteVFS() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(real_, 1);
    }
    FailingSQLiteVFS(const FailingSQLiteVFS&) = delete;
    FailingSQLiteVFS& operator=(const FailingSQLiteVFS&) = delete;

private:
    struct File {
        sqlite3_file base;
        FailingSQLiteVFS* owner;
        bool watched;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };

    static File* of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
    static bool failing(sqlite3_file* f, const std::atomic<bool> FailingSQLiteVFS::*fault) {
        File* file = of(f);
        return file->watched && (file->owner->*fault).load();
    }

    static int open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
        auto* self = static_cast<FailingSQLiteVFS*>(vfs->pAppData);
        File* file = of(f);
        file->base.pMethods = nullptr;
        file->owner = self;
        file->watched = name != nullptr && std::strstr(name, self->part_.c_str()) != nullptr;
        if (file->watched && self->failOpen) return SQLITE_CANTOPEN;
        int rc = self->real_->xOpen(self->real_, name, file->real(), flags, outFlags);
        if (rc != SQLITE_OK || file->real()->pMethods == nullptr) return rc;
        // The default system gives its files one table of methods; the wrapped files share ours.
        std::call_once(self->methodsMade_, [&] { self->methods_ = forwarding(*file->real()->pMethods); });
        file->base.pMethods = &self->methods_;
        return SQLITE_OK;
    }

    // Every method passes to the real file; the watched ones may fail first.
    static sqlite3_io_methods forwarding(const sqlite3_io_methods& real) {
        sqlite3_io_methods m = real;
        m.xClose = [](sqlite3_file* f) {
            int rc = of(f)->real()->pMethods->xClose(of(f)->real());
            f->pMethods = nullptr;
            return rc;
        };
        m.xRead = [](sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
            if (failing(f, &FailingSQLiteVFS::failRead)) return SQLITE_IOERR_READ;
            return of(f)->real()->pMethods->xRead(of(f)->real(), buffer, amount, offset);
        };
        m.xWrite = [](sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
            if (failing(f, &FailingSQLiteVFS::failWrite)) return SQLITE_IOERR_WRITE;
            return of(f)->real()->pMethods->xWrite(of(f)->real(), buffer, amount, offset);
        };
        m.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
            return of(f)->real()->pMethods->xTruncate(of(f)->real(), size);
        };
        m.xSync = [](sqlite3_file* f, int flags) {
            if (failing(f, &FailingSQLiteVFS::failSync)) return SQLITE_IOERR_FSYNC;
            return of(f)->real()->pMethods->xSync(of(f)->real(), flags);
        };
        m.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
            return of(f)->real()->pMethods->xFileSize(of(f)->real(), size);
        };
        m.xLock = [](sqlite3_file* f, int level) {
            if (level >= SQLITE_LOCK_RESERVED && failing(f, &FailingSQLiteVFS::failReservedLock))
                return SQLITE_IOERR_LOCK;
            if (level == SQLITE_LOCK_EXCLUSIVE && failing(f, &FailingSQLiteVFS::busyExclusiveLock))
                return SQLITE_BUSY;
            return of(f)->real()->pMethods->xLock(of(f)->real(), level);
        };
        m.xUnlock = [](sqlite3_file* f, int level) {
            return of(f)->real()->pMethods->xUnlock(of(f)->real(), level);
        };
        m.xCheckReservedLock = [](sqlite3_file* f, int* out) {
            return of(f)->real()->pMethods->xCheckReservedLock(of(f)->real(), out);
        };
        m.xFileControl = [](sqlite3_file* f, int op, void* arg) {
            return of(f)->real()->pMethods->xFileControl(of(f)->real(), op, arg);
        };
        m.xSectorSize = [](sqlite3_file* f) { return of(f)->real()->pMethods->xSectorSize(of(f)->real()); };
        m.xDeviceCharacteristics = [](sqlite3_file* f) {
            return of(f)->real()->pMethods->xDeviceCharacteristics(of(f)->real());
        };
        if (real.iVersion >= 2) {
            m.xShmMap = [](sqlite3_file* f, int region, int size, int extend, void volatile** out) {
                return of(f)->real()->pMethods->xShmMap(of(f)->real(), region, size, extend, out);
            };
            m.xShmLock = [](sqlite3_file* f, int offset, int n, int flags) {
                return of(f)->real()->pMethods->xShmLock(of(f)->real(), offset, n, flags);
            };
            m.xShmBarrier = [](sqlite3_file* f) { of(f)->real()->pMethods->xShmBarrier(of(f)->real()); };
            m.xShmUnmap = [](sqlite3_file* f, int deleteFlag) {
                return of(f)->real()->pMethods->xShmUnmap(of(f)->real(), deleteFlag);
            };
        }
        if (real.iVersion >= 3) {
            m.xFetch = [](sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
                return of(f)->real()->pMethods->xFetch(of(f)->real(), offset, amount, out);
            };
            m.xUnfetch = [](sqlite3_file* f, sqlite3_int64 offset, void* page) {
                return of(f)->real()->pMethods->xUnfetch(of(f)->real(), offset, page);
            };
        }
        return m;
    }

    std::string part_;
    sqlite3_vfs* real_ = nullptr;
    sqlite3_vfs vfs_{};
    std::once_flag methodsMade_;
    sqlite3_io_methods methods_{};
};

}  // namespace brindlecue::testsupport
