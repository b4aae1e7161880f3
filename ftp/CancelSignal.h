// CCancelSignal: a stop raised from any thread that ends at once every socket wait watching it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace nsSocket {

// Raised once, never lowered. A socket that watches it (CBlockingSocket::Watch) fails every
// operation from then on, and one that waits at that moment stops waiting at once: no send blocked
// on a stalled peer, no receive of a reply that never comes, outlives it. Raise is safe from any
// thread, from a POSIX signal handler and from a console control handler.
class CCancelSignal {
public:
#ifdef _WIN32
    using NativeHandle = void*;  // a manual-reset event, set once raised
#else
    using NativeHandle = int;  // the read end of a pipe, readable once raised
#endif

    // Raises std::system_error when the system gives no event or pipe.
    CCancelSignal();
    ~CCancelSignal();
    CCancelSignal(const CCancelSignal&) = delete;
    CCancelSignal& operator=(const CCancelSignal&) = delete;

    void Raise() noexcept;
    // Raised by itself once deadline passes, as every wait that watches it sees: a bound on a whole
    // exchange, however many waits it takes (a server that answers each line just in time).
    void RaiseAt(std::chrono::steady_clock::time_point deadline) noexcept {
        m_deadline.store(deadline.time_since_epoch().count(), std::memory_order_release);
    }
    // The deadline set, or time_point::max() when none is.
    std::chrono::steady_clock::time_point Deadline() const noexcept {
        using Clock = std::chrono::steady_clock;
        return Clock::time_point(Clock::duration(m_deadline.load(std::memory_order_acquire)));
    }
    bool Raised() const noexcept {
        return m_raised.load(std::memory_order_acquire) || std::chrono::steady_clock::now() >= Deadline();
    }
    // What a socket wait watches beside the socket.
    NativeHandle Native() const noexcept { return m_waitable; }

private:
    std::atomic<bool> m_raised{false};
    std::atomic<std::chrono::steady_clock::rep> m_deadline{
        std::chrono::steady_clock::time_point::max().time_since_epoch().count()};
    NativeHandle m_waitable;
#ifndef _WIN32
    int m_writeEnd;
#endif
};

static_assert(std::atomic<bool>::is_always_lock_free, "Raise must be safe in a signal handler");

}  // namespace nsSocket
