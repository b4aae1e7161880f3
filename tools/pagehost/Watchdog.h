// Ends the host when a page runs too long (a dialog nobody answers, a script that loops), with a
// script error line instead of a hung test run.
#pragma once

#include <windows.h>

#include <atomic>

namespace pagehost {

class Watchdog {
public:
    explicit Watchdog(DWORD seconds);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();  // the page finished in time

    // Gives the page this many seconds from now.
    void restart(DWORD seconds);

private:
    static DWORD WINAPI watch(void* self);

    std::atomic<ULONGLONG> m_deadline;
    std::atomic<DWORD> m_seconds;
    std::atomic<bool> m_finished{false};
    HANDLE m_wake = nullptr;
    HANDLE m_thread = nullptr;
};

}  // namespace pagehost
