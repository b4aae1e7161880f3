// Module instance, object and lock counting, string resources, the entry-point guard.
#include "framework/Module.h"

namespace fw {
namespace {
HINSTANCE g_instance = nullptr;
// Counted from every apartment thread of the process, hence only ever touched interlocked.
LONG volatile g_objects = 0;
LONG volatile g_locks = 0;
thread_local unsigned t_depth = 0;
}  // namespace

void Module::Attach(HINSTANCE instance) { g_instance = instance; }
HINSTANCE Module::Instance() { return g_instance; }

std::wstring Module::Path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
}

void Module::ObjectCreated() { ::InterlockedIncrement(&g_objects); }
void Module::ObjectDestroyed() { ::InterlockedDecrement(&g_objects); }
void Module::Lock() { ::InterlockedIncrement(&g_locks); }
void Module::Unlock() { ::InterlockedDecrement(&g_locks); }
bool Module::CanUnload() {
    // Interlocked reads: other apartment threads change the counts at any time.
    return ::InterlockedCompareExchange(&g_objects, 0, 0) == 0 && ::InterlockedCompareExchange(&g_locks, 0, 0) == 0;
}

std::wstring Module::ResourceString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself.
    const int n = ::LoadStringW(g_instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

ModuleStateGuard::ModuleStateGuard() { ++t_depth; }
ModuleStateGuard::~ModuleStateGuard() { --t_depth; }
unsigned ModuleStateGuard::Depth() { return t_depth; }

}  // namespace fw
