// CTovaloApp: the module's start and stop and its four exports.
#include "control/Registration.h"
#include "control/TovaloCtrl.h"
#include "control/TovaloPropPage.h"
#include "control/Guids.h"
#include "framework/ClassFactory.h"
#include "framework/Dialog.h"
#include "framework/Module.h"
#include "framework/Window.h"

#include <winsock.h>

namespace tovalo {
namespace {

fw::ClassFactory g_ctrlFactory(CLSID_TovaloCtrl, CreateTovaloCtrl);
fw::ClassFactory g_propPageFactory(CLSID_TovaloPropPage, CreateTovaloPropPage);
fw::ClassFactory* const kFactories[] = {&g_ctrlFactory, &g_propPageFactory};

// Windows Sockets are started on the module's first use rather than inside DllMain, where the
// loader lock forbids it; they are stopped again when the module may be unloaded.
bool g_socketsStarted = false;

bool StartModule() {
    if (g_socketsStarted) return true;
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        fw::ShowMessageBox(L"socket init error");
        return false;
    }
    g_socketsStarted = true;
    return true;
}

void StopModule() {
    if (!g_socketsStarted) return;
    ::WSACleanup();
    g_socketsStarted = false;
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
    if (!tovalo::StartModule()) return CLASS_E_CLASSNOTAVAILABLE;
    return fw::GetClassObject(tovalo::kFactories, clsid, riid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    fw::ModuleStateGuard guard;
    if (!fw::Module::CanUnload()) return S_FALSE;
    tovalo::StopModule();
    return S_OK;
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
