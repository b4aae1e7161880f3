// What the process writes with OutputDebugString, caught the way a debug viewer does (the
// DBWIN_BUFFER shared section), so that a page can see what the control wrote there.
#pragma once

#include <string>

namespace pagehost {

// Starts listening on the first call; returns the texts written by this process since the
// previous call, one per line, in the system code page converted to text.
std::wstring takeDebugOutput();

// Stops the listener (at exit); later calls of takeDebugOutput start it again.
void stopDebugOutput();

}  // namespace pagehost
