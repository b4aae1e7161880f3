// CTovaloApp: the module's start and stop and its four exports.
#include "control/Registration.h"
#include "control/TovaloCtrl.h"
#include "control/TovaloPropPage.h"
#include "control/Guids.h"
#include "framework/ClassFactory.h"
#include "framework/Dialog.h"
#include "framework/Lock.h"
#include "framework/Module.h"
#include "framework/Window.h"

#include <winsock2.h>

namespace tovalo {
namespace {

fw::ClassFactory g_ctrlFactory(CLSID_TovaloCtrl, CreateTovaloCtrl);
fw::ClassFactory g_propPageFactory(CLSID_TovaloPropPage, CreateTovaloPropPage);
fw::ClassFactory* const kFactories[] = {&g_ctrlFactory, &g_propPageFactory};

// Windows Sockets are started on the module's first use rather than inside DllMain, where the
// loader lock forbids it, and stopped again when the module may be unloaded. Browsers call the
// exports from several apartment threads at once: the start, the stop and the check that the
// module is unused happen under one lock, so sockets are started once however many threads
// ask, and never stopped while a thread is about to take a class object.
fw::SlimLock g_startLock;
bool g_socketsStarted = false;  // guarded by g_startLock

bool StartSocketsLocked() {
    if (g_socketsStarted) return true;
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    g_socketsStarted = true;
    return true;
}

// The module's start; the message box comes after the lock is released (it runs a modal loop).
bool StartModule() {
    bool started = false;
    {
        fw::LockScope hold(g_startLock);
        started = StartSocketsLocked();
    }
    if (!started) fw::ShowMessageBox(L"socket init error");
    return started;
}

// A class object under the start lock, so that an unload check cannot slip in between the
// start and the reference the caller takes.
HRESULT GetStartedClassObject(REFCLSID clsid, REFIID riid, void** out) {
    HRESULT hr = CLASS_E_CLASSNOTAVAILABLE;
    bool started = false;
    {
        fw::LockScope hold(g_startLock);
        started = StartSocketsLocked();
        if (started) hr = fw::GetClassObject(kFactories, clsid, riid, out);
    }
    if (!started) fw::ShowMessageBox(L"socket init error");
    return hr;
}

bool StopModuleIfUnused() {
    fw::LockScope hold(g_startLock);
    if (!fw::Module::CanUnload()) return false;
    if (g_socketsStarted) {
        ::WSACleanup();
        g_socketsStarted = false;
    }
    return true;
}

}  // namespace
}  // namespace tovalo

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        fw::Module::Attach(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: a later load must be able to register its classes.
        fw::UnregisterSuperclasses();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    fw::ModuleStateGuard guard;
    if (out) *out = nullptr;
    return tovalo::GetStartedClassObject(clsid, riid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    fw::ModuleStateGuard guard;
    return tovalo::StopModuleIfUnused() ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    fw::ModuleStateGuard guard;
    if (!tovalo::StartModule()) return E_FAIL;
    return tovalo::RegisterServer();
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    fw::ModuleStateGuard guard;
    if (!tovalo::StartModule()) return E_FAIL;
    return tovalo::UnregisterServer();
}
