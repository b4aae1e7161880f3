// Ctrl-C as a stop: a console control handler on Windows, a SIGINT handler elsewhere.
#include "tools/tovalo-ftp/Interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace nsFtpCli {
namespace {

std::atomic<nsSocket::CCancelSignal*> g_signal{nullptr};
static_assert(std::atomic<nsSocket::CCancelSignal*>::is_always_lock_free, "read in a signal handler");

#if defined(_WIN32)

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    nsSocket::CCancelSignal* signal = g_signal.load();
    if (!signal || signal->Raised()) return FALSE;  // the next handler, in the end the system's: exit
    signal->Raise();
    return TRUE;
}

#else

struct sigaction g_previous {};

extern "C" void OnInterrupt(int) {
    if (nsSocket::CCancelSignal* signal = g_signal.load()) signal->Raise();
}

#endif

}  // namespace

CStopOnInterrupt::CStopOnInterrupt(nsSocket::CCancelSignal& signal) {
    g_signal.store(&signal);
#if defined(_WIN32)
    ::SetConsoleCtrlHandler(OnControl, TRUE);
#else
    // A program started with Ctrl-C ignored (in the background of a script) keeps ignoring it.
    if (::sigaction(SIGINT, nullptr, &g_previous) != 0 || g_previous.sa_handler == SIG_IGN) return;
    // Reset to the default once taken: a second Ctrl-C ends the program.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
#endif
}

CStopOnInterrupt::~CStopOnInterrupt() {
#if defined(_WIN32)
    ::SetConsoleCtrlHandler(OnControl, FALSE);
#else
    ::sigaction(SIGINT, &g_previous, nullptr);
#endif
    g_signal.store(nullptr);
}

}  // namespace nsFtpCli
