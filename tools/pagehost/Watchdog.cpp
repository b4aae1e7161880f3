// Ends the host when a page runs too long (a dialog nobody answers, a script that loops), with a
// script error line instead of a hung test run.
#include "tools/pagehost/Watchdog.h"

#include "tools/pagehost/Output.h"

#include <string>

namespace pagehost {
namespace {

constexpr UINT kTimedOutExitCode = 124;

}  // namespace

Watchdog::Watchdog(DWORD seconds) : m_deadline(GetTickCount64() + ULONGLONG{seconds} * 1000), m_seconds(seconds) {
    m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_wake) {
        m_thread = CreateThread(nullptr, 0, watch, this, 0, nullptr);
    }
}

Watchdog::~Watchdog() {
    m_finished = true;
    if (m_thread) {
        SetEvent(m_wake);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_wake) {
        CloseHandle(m_wake);
    }
}

void Watchdog::restart(DWORD seconds) {
    m_seconds = seconds;
    m_deadline = GetTickCount64() + ULONGLONG{seconds} * 1000;
    if (m_wake) {
        SetEvent(m_wake);
    }
}

DWORD WINAPI Watchdog::watch(void* self) {
    auto* watchdog = static_cast<Watchdog*>(self);
    while (!watchdog->m_finished) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG deadline = watchdog->m_deadline;
        if (now >= deadline) {
            printLine(L"SCRIPT ERROR: the page did not finish within " + std::to_wstring(watchdog->m_seconds) + L" s");
            TerminateProcess(GetCurrentProcess(), kTimedOutExitCode);
        }
        WaitForSingleObject(watchdog->m_wake, static_cast<DWORD>(deadline - now));
    }
    return 0;
}

}  // namespace pagehost
