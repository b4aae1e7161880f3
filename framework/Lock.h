// A process-wide lock for module state that several apartment threads share (slim reader/writer
// lock: statically initialised, so it is usable before and during module start).
#pragma once

#include <windows.h>

namespace fw {

class SlimLock {
public:
    constexpr SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    void Lock() { ::AcquireSRWLockExclusive(&lock_); }
    void Unlock() { ::ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// Holds a SlimLock for a scope.
class LockScope {
public:
    explicit LockScope(SlimLock& lock) : lock_(lock) { lock_.Lock(); }
    ~LockScope() { lock_.Unlock(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    SlimLock& lock_;
};

}  // namespace fw
