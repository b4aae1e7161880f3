// The one way the control's nested loops (a transfer between its blocks, a wait before a retry, a
// report's last moments, the transfer log) let the thread's messages through while they run
// inside a window procedure.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>

namespace fw {

enum class Pump {
    kGoOn,  // carry on
    kQuit,  // WM_QUIT was taken: the thread is ending; stop, and let the caller's caller end too
};

// Dispatches the messages waiting now, at most maxMessages of them, translated and without any
// dialog's keyboard handling. WM_QUIT ends it: the message is posted again with its exit code, so
// that every loop below this one ends as the thread asked (a browser's, a modal dialog's).
Pump DispatchWaiting(std::size_t maxMessages = static_cast<std::size_t>(-1));

// Dispatches messages as they arrive for up to ms milliseconds, while goOn() holds (it is asked
// after every message, so a handler that clears a flag ends the wait at once).
Pump DispatchFor(DWORD ms, const std::function<bool()>& goOn);

}  // namespace fw
