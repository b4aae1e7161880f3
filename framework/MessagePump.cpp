// The nested message loops' one pump (see MessagePump.h).
#include "framework/MessagePump.h"

namespace fw {
namespace {

// Takes one waiting message and dispatches it; false when there was none. PeekMessage, unlike
// GetMessage, cannot fail with -1, and never blocks.
bool DispatchOne(Pump& result) {
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        result = Pump::kQuit;
        return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

}  // namespace

Pump DispatchWaiting(std::size_t maxMessages) {
    Pump result = Pump::kGoOn;
    for (std::size_t n = 0; n < maxMessages && DispatchOne(result); ++n) {
    }
    return result;
}

Pump DispatchFor(DWORD ms, const std::function<bool()>& goOn) {
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    Pump result = Pump::kGoOn;
    for (ULONGLONG now = ::GetTickCount64(); goOn() && now < deadline; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        while (goOn() && DispatchOne(result)) {
        }
        if (result == Pump::kQuit) break;
    }
    return result;
}

}  // namespace fw
