// The run's first script error, wherever it arose (a block, or a function the host called back):
// printed once as "SCRIPT ERROR: <message>", and from then on the run has failed.
#pragma once

#include "tools/pagehost/Output.h"

#include <string>

namespace pagehost {

class ScriptFailure {
public:
    bool failed() const { return m_failed; }

    void fail(const std::wstring& message) {
        if (!m_failed) {
            m_failed = true;
            printLine(L"SCRIPT ERROR: " + message);
        }
    }

private:
    bool m_failed = false;
};

}  // namespace pagehost
