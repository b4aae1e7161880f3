// Runs the page's script blocks in the system's JScript engine, with the control and the host
// object as named items; script errors are printed and end the run.
#pragma once

#include "framework/Raii.h"
#include "tools/pagehost/Page.h"
#include "tools/pagehost/PageWindow.h"
#include "tools/pagehost/ScriptFailure.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pagehost {

struct NamedItem {
    std::wstring name;
    fw::ComPtr<IDispatch> object;
    bool eventSource;  // the control: the engine may bind handlers to it
};

// Runs the blocks in document order until the page is closed. Returns true when each block that
// ran ran to its end and nothing else failed the run; otherwise a line "SCRIPT ERROR: <message>"
// has been printed.
bool runScripts(const std::vector<PageScript>& scripts, const std::vector<NamedItem>& items, const PageWindow& page,
                ScriptFailure& failure);

}  // namespace pagehost
