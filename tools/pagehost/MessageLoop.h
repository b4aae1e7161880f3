// The page host's own message loops (host.pump, the waits inside host members and the dialog
// hook) and how they treat WM_QUIT: as a well-behaved nested loop does, the loop that takes it
// ends and posts it again, so that every loop outside it ends too. The first WM_QUIT the host
// takes is printed as "QUIT <code>", once per run.
#pragma once

#include <windows.h>

#include <optional>

namespace pagehost {

// Runs the message loop for the given time, so that timers fire and windows repaint. Returns
// false when a WM_QUIT ended it early (the WM_QUIT is then waiting in the queue again).
bool pumpMessages(DWORD milliseconds);

// At the end of the run: takes a WM_QUIT that no loop took, as a browser's outermost loop would.
void takeWaitingQuit();

// The code of the first WM_QUIT the host took, if any.
std::optional<int> quitCode();

}  // namespace pagehost
