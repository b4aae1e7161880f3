// Reference count shared by the host's own COM objects (all live on the one UI thread).
#pragma once

#include <windows.h>

namespace pagehost {

class RefCount {
public:
    ULONG add() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG release() { return static_cast<ULONG>(InterlockedDecrement(&m_refs)); }

private:
    LONG m_refs = 1;  // the creator's reference
};

}  // namespace pagehost
