// Ends the host when a page runs too long (a dialog nobody answers, a script that loops), with a
// script error line instead of a hung test run.
#include "tools/pagehost/Watchdog.h"

#include "tools/pagehost/Output.h"

#include <string>

namespace pagehost {
namespace {

constexpr UINT kTimedOutExitCode = 124;

} // namespace

Watchdog::Watchdog(DWORD seconds) : m_seconds(seconds)
{
    m_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_done) {
        m_thread = CreateThread(nullptr, 0, watch, this, 0, nullptr);
    }
}

Watchdog::~Watchdog()
{
    if (m_thread) {
        SetEvent(m_done);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_done) {
        CloseHandle(m_done);
    }
}

DWORD WINAPI Watchdog::watch(void* self)
{
    const auto* watchdog = static_cast<const Watchdog*>(self);
    if (WaitForSingleObject(watchdog->m_done, watchdog->m_seconds * 1000) == WAIT_TIMEOUT) {
        printLine(L"SCRIPT ERROR: the page did not finish within " + std::to_wstring(watchdog->m_seconds) +
                  L" seconds");
        TerminateProcess(GetCurrentProcess(), kTimedOutExitCode);
    }
    return 0;
}

} // namespace pagehost
