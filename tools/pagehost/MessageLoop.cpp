// The page host's own message loops and their WM_QUIT (see MessageLoop.h).
#include "tools/pagehost/MessageLoop.h"

#include "tools/pagehost/Output.h"

#include <string>

namespace pagehost {
namespace {

std::optional<int> g_quitCode;

void noteQuit(const MSG& quit) {
    const int code = static_cast<int>(quit.wParam);
    if (!g_quitCode) {
        g_quitCode = code;
        printLine(L"QUIT " + std::to_wstring(code));
    }
}

}  // namespace

bool pumpMessages(DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                noteQuit(message);
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return true;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void takeWaitingQuit() {
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        noteQuit(message);
    }
}

std::optional<int> quitCode() { return g_quitCode; }

}  // namespace pagehost
