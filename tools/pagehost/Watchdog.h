// Ends the host when a page runs too long (a dialog nobody answers, a script that loops), with a
// script error line instead of a hung test run.
#pragma once

#include <windows.h>

namespace pagehost {

class Watchdog {
public:
    explicit Watchdog(DWORD seconds);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog(); // the page finished in time

private:
    static DWORD WINAPI watch(void* self);

    DWORD m_seconds;
    HANDLE m_done = nullptr;
    HANDLE m_thread = nullptr;
};

} // namespace pagehost
