// The module on several apartment threads at once, as browsers run tabs: class objects, unload
// checks and controls created, used and released concurrently; and the framework's superclass
// registry filled from several threads at the same moment.
#include "tests/win/TestSupport.h"

#include "framework/Module.h"
#include "framework/Raii.h"
#include "framework/Window.h"
#include "upload/SessionServices.h"

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tovalo_test {
namespace {

constexpr int kThreads = 6;

// Starts every body on its own single-threaded apartment at the same moment and waits for all.
void RunTogether(int threads, const std::function<void(int)>& body) {
    std::atomic<int> ready{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            const HRESULT hr = ::OleInitialize(nullptr);
            ready.fetch_add(1);
            while (ready.load() < threads) std::this_thread::yield();
            if (SUCCEEDED(hr)) body(t);
            if (SUCCEEDED(hr)) ::OleUninitialize();
        });
    }
    for (auto& th : pool) th.join();
}

// The module's own exports, called directly as COM calls them.
struct Exports {
    HMODULE module = ::LoadLibraryW(OcxPath().c_str());
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;

    Exports() {
        if (!module) return;
        getClassObject = reinterpret_cast<decltype(getClassObject)>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    }
    ~Exports() {
        if (module) ::FreeLibrary(module);
    }
};

// What one thread does with one control: embeds it with parameters, scripts it, draws it, closes it.
bool UseOneControl(IClassFactory* factory, int thread, int round) {
    fw::ComPtr<IDispatch> control;
    if (FAILED(factory->CreateInstance(nullptr, IID_IDispatch, control.PutVoid()))) return false;
    TestContainer container;
    MemoryBag params;
    const std::wstring host = L"host" + std::to_wstring(thread) + L"-" + std::to_wstring(round);
    params.SetText(L"ftpHost", host);
    params.SetText(L"ftpPort", std::to_wstring(2000 + thread));
    if (FAILED(container.Embed(control.Get(), &params))) return false;
    HWND hwnd = nullptr;
    control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
    bool ok =
        hwnd && ListView_GetBkColor(hwnd) == RGB(255, 255, 255) && Header_GetItemCount(ListView_GetHeader(hwnd)) == 5;
    ok = ok && Put(control.Get(), L"totalSizeStr", Text(L"5368709120")) == S_OK;
    ok = ok && Get(control.Get(), L"ftpHost").value == host &&
         Get(control.Get(), L"ftpPort").value == std::to_wstring(2000 + thread) &&
         Get(control.Get(), L"totalSizeStr").value == L"5368709120";
    auto ole = control.As<IOleObject>(IID_IOleObject);
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
    return ok && !::IsWindow(hwnd);
}

TEST(ModuleThreads, ControlsOnSeveralApartmentsAtOnce) {
    Exports exports;
    ASSERT_TRUE(exports.getClassObject && exports.canUnloadNow);
    constexpr int kRounds = 8;
    std::atomic<int> failures{0};
    std::atomic<int> unloadWhileHeld{0};
    RunTogether(kThreads, [&](int t) {
        for (int round = 0; round < kRounds; ++round) {
            fw::ComPtr<IClassFactory> factory;
            if (FAILED(exports.getClassObject(kCtrlClsid, IID_IClassFactory, factory.PutVoid()))) {
                failures.fetch_add(1);
                continue;
            }
            // A thread holding a class object must never hear that the module may unload.
            if (exports.canUnloadNow() == S_OK) unloadWhileHeld.fetch_add(1);
            if (!UseOneControl(factory.Get(), t, round)) failures.fetch_add(1);
            factory.Reset();
            exports.canUnloadNow();  // races with the other threads' class objects and controls
        }
    });
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(unloadWhileHeld.load(), 0);
    // Everything released: the module may go, and it starts again on the next request.
    EXPECT_EQ(exports.canUnloadNow(), S_OK);
    fw::ComPtr<IClassFactory> factory;
    ASSERT_EQ(exports.getClassObject(kCtrlClsid, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_TRUE(UseOneControl(factory.Get(), 0, kRounds));
}

// A thread of the module's own (an upload session's worker, which may outlive its dialog) keeps the
// module from unloading until the thread has left the module's code.
TEST(ModuleThreads, AModuleThreadHoldsTheModuleWhileItRuns) {
    const bool before = fw::Module::CanUnload();
    const fw::UniqueHandle<HANDLE, ::CloseHandle> release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(tovalo::upload::StartModuleThread([&] { ::WaitForSingleObject(release.Get(), 10000); }));
    EXPECT_FALSE(fw::Module::CanUnload());
    ::SetEvent(release.Get());
    const DWORD start = ::GetTickCount();
    while (fw::Module::CanUnload() != before && ::GetTickCount() - start < 10000) ::Sleep(5);
    EXPECT_EQ(fw::Module::CanUnload(), before);
}

// --- The framework's superclass registry (the copy linked into this test) ----------------------

// Counts the messages its window sends it and passes everything to the system class.
class CountingOwner final : public fw::WindowOwner {
public:
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_CREATE) ++creates;
        return fw::CallBase(hwnd, msg, wp, lp);
    }
    void OnWindowDestroyed() override { destroyed = true; }
    int creates = 0;
    bool destroyed = false;
};

TEST(ModuleThreads, SuperclassesRegisteredFromSeveralThreadsAtOnce) {
    // Every thread creates a window of every class, each starting with a different one, so that
    // registrations of the same and of different classes overlap while others are looked up.
    const wchar_t* const classes[] = {WC_BUTTONW,      WC_EDITW,        WC_STATICW,     WC_LISTBOXW,
                                      WC_COMBOBOXW,    WC_SCROLLBARW,   WC_HEADERW,     WC_TREEVIEWW,
                                      PROGRESS_CLASSW, TRACKBAR_CLASSW, WC_TABCONTROLW, UPDOWN_CLASSW};
    constexpr int kClasses = static_cast<int>(std::size(classes));
    fw::Module::Attach(::GetModuleHandleW(nullptr));  // this executable stands in for the module
    std::atomic<int> failures{0};
    RunTogether(kThreads * 2, [&](int) {
        for (int i = 0; i < kClasses; ++i) {
            // Every thread takes the classes in the same order: each registration is contended.
            const wchar_t* base = classes[i];
            CountingOwner owner;
            const RECT rect = {0, 0, 50, 20};
            HWND hwnd = fw::CreateSuperclassWindow({base, WS_POPUP, 0}, rect, nullptr, &owner);
            // The window's messages reach its owner (found through the registry), and the system
            // class's own creation ran through it.
            wchar_t name[64] = {};
            if (hwnd) ::GetClassNameW(hwnd, name, 64);
            bool ok = hwnd && owner.creates == 1 && std::wstring(name) == std::wstring(L"Tovalo.") + base;
            if (hwnd) ::DestroyWindow(hwnd);
            ok = ok && owner.destroyed;
            if (!ok) failures.fetch_add(1);
        }
    });
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace tovalo_test
