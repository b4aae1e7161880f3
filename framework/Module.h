// The COM module: its instance, live-object and lock counts, resource strings, the entry-point guard.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class Module {
public:
    // Called once from DllMain on attach.
    static void Attach(HINSTANCE instance);
    static HINSTANCE Instance();
    // Full path of the module file (for registration).
    static std::wstring Path();

    // Every COM object of the module counts itself while it lives; LockServer and class factory
    // references count as locks. The module may unload when both are zero. Safe on any thread.
    static void ObjectCreated();
    static void ObjectDestroyed();
    static void Lock();
    static void Unlock();
    static bool CanUnload();

    // A string resource of the module, "" when absent.
    static std::wstring ResourceString(UINT id);
};

// Taken by every external entry point for its duration (exports, dispatch members, safety
// methods). Each apartment thread has its own count of how deeply entry points nest on it, so
// code that must not run re-entered (a modal loop calling back into the control) can ask.
class ModuleStateGuard {
public:
    ModuleStateGuard();
    ~ModuleStateGuard();
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;

    // Number of entry points active on this thread (1 inside a plain call).
    static unsigned Depth();
};

}  // namespace fw
