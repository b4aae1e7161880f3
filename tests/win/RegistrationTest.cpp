// Self-registration: every entry a container needs appears, and unregistering removes it all.
#include "tests/win/TestSupport.h"

#include "framework/Registry.h"

#include <olectl.h>

namespace tovalo_test {
namespace {

using RegFn = HRESULT(STDAPICALLTYPE*)();

// The OCX loaded by path, as regsvr32 does.
class LoadedOcx {
public:
    LoadedOcx() : module_(::LoadLibraryW(OcxPath().c_str())) {}
    ~LoadedOcx() {
        if (module_) ::FreeLibrary(module_);
    }
    LoadedOcx(const LoadedOcx&) = delete;
    LoadedOcx& operator=(const LoadedOcx&) = delete;
    HRESULT CallExport(const char* name) const {
        auto fn = reinterpret_cast<RegFn>(reinterpret_cast<void*>(::GetProcAddress(module_, name)));
        return fn ? fn() : E_NOTIMPL;
    }
    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    ::RegCloseKey(h);
    return true;
}

// A string value, or "<absent>".
std::wstring ValueOf(const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
        return L"<absent>";
    }
    return data;
}

// Each build registers its type library's path under its own platform's key; on 64-bit Windows the
// other build's sits beside it in the same library key.
#ifdef _WIN64
constexpr const wchar_t* kOwnPlatform = L"win64";
constexpr const wchar_t* kOtherPlatform = L"win32";
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
constexpr const wchar_t* kOwnPlatform = L"win32";
constexpr const wchar_t* kOtherPlatform = L"win64";
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

std::wstring TypeLibKey(const wchar_t* platform) {
    return L"TypeLib\\" + fw::GuidText(kLibId) + L"\\1.0\\0\\" + platform;
}

// A string value in the other build's registry view (HKLM's classes, where regsvr32 writes), or
// "<absent>".
std::wstring OtherViewValue(const std::wstring& key, const wchar_t* name) {
    HKEY h = nullptr;
    const std::wstring path = L"Software\\Classes\\" + key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | kOtherView, &h) != ERROR_SUCCESS) {
        return L"<absent>";
    }
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    const LSTATUS rc = ::RegGetValueW(h, nullptr, name, RRF_RT_REG_SZ, nullptr, data, &size);
    ::RegCloseKey(h);
    return rc == ERROR_SUCCESS ? data : L"<absent>";
}

struct ExpectedEntry {
    std::wstring key;
    const wchar_t* name;  // nullptr: default value
    std::wstring value;   // "" with keyOnly: the key must exist
    bool keyOnly = false;
};

std::vector<ExpectedEntry> ExpectedEntries() {
    const std::wstring ctrl = L"CLSID\\" + fw::GuidText(kCtrlClsid);
    const std::wstring page = L"CLSID\\" + fw::GuidText(kPropPageClsid);
    const std::wstring path = OcxPath();
    return {
        {ctrl, nullptr, L"Tovalo Control"},
        {ctrl + L"\\InprocServer32", nullptr, path},
        {ctrl + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {ctrl + L"\\ProgID", nullptr, L"TOVALO.TovaloCtrl.1"},
        {ctrl + L"\\Control", nullptr, L"", true},
        {ctrl + L"\\MiscStatus\\1", nullptr, L"131473"},
        {ctrl + L"\\ToolboxBitmap32", nullptr, path + L", 1"},
        {ctrl + L"\\TypeLib", nullptr, fw::GuidText(kLibId)},
        {ctrl + L"\\Version", nullptr, L"1.0"},
        {L"TOVALO.TovaloCtrl.1", nullptr, L"Tovalo Control"},
        {L"TOVALO.TovaloCtrl.1\\CLSID", nullptr, fw::GuidText(kCtrlClsid)},
        {page, nullptr, L"Tovalo Property Page"},
        {page + L"\\InprocServer32", nullptr, path},
        {page + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {TypeLibKey(kOwnPlatform), nullptr, path},
        {L"Interface\\" + fw::GuidText(kDispatchIid), nullptr, L"_DTovalo"},
        {L"Interface\\" + fw::GuidText(kEventsIid), nullptr, L"_DTovaloEvents"},
    };
}

// Keys of this build's own that must be gone after unregistering (the ProgID, one key for both
// builds, stays while the other build's class is registered).
std::vector<std::wstring> OwnedKeys() {
    return {
        L"CLSID\\" + fw::GuidText(kCtrlClsid),
        L"CLSID\\" + fw::GuidText(kPropPageClsid),
        TypeLibKey(kOwnPlatform),
        L"Interface\\" + fw::GuidText(kDispatchIid),
        L"Interface\\" + fw::GuidText(kEventsIid),
    };
}

// Whatever a test does, the control is left registered for the other tests and pages.
struct Reregister {
    const LoadedOcx& ocx;
    ~Reregister() { ocx.CallExport("DllRegisterServer"); }
};

TEST(Registration, RegistersEveryEntryAndUnregistersThemAll) {
    LoadedOcx ocx;
    ASSERT_NE(ocx.Get(), nullptr);
    const Reregister reregister{ocx};

    ASSERT_EQ(ocx.CallExport("DllUnregisterServer"), S_OK);
    for (const auto& key : OwnedKeys()) EXPECT_FALSE(KeyExists(key)) << testing::PrintToString(key);

    ASSERT_EQ(ocx.CallExport("DllRegisterServer"), S_OK);
    for (const auto& e : ExpectedEntries()) {
        SCOPED_TRACE(testing::PrintToString(e.key + L" " + (e.name ? e.name : L"(default)")));
        if (e.keyOnly) {
            EXPECT_TRUE(KeyExists(e.key));
        } else {
            EXPECT_EQ(ValueOf(e.key, e.name), e.value);
        }
    }
    EXPECT_FALSE(KeyExists(L"CLSID\\" + fw::GuidText(kCtrlClsid) + L"\\Insertable"));
    EXPECT_FALSE(KeyExists(L"TOVALO.TovaloPropPage.1")) << "the page is created by CLSID only";
    // The control reads the user's files by the paths a page names, which an AppContainer cannot:
    // it must not tell a browser that it runs in one (Enhanced Protected Mode).
    EXPECT_FALSE(KeyExists(L"CLSID\\" + fw::GuidText(kCtrlClsid) +
                           L"\\Implemented Categories\\{59FB2056-D625-48D0-A944-1A85B5AB2640}"));

    ASSERT_EQ(ocx.CallExport("DllUnregisterServer"), S_OK);
    for (const auto& key : OwnedKeys()) EXPECT_FALSE(KeyExists(key)) << testing::PrintToString(key);
    const bool otherRegistered =
        OtherViewValue(L"CLSID\\" + fw::GuidText(kCtrlClsid) + L"\\InprocServer32", nullptr) != L"<absent>";
    EXPECT_EQ(KeyExists(L"TOVALO.TovaloCtrl.1"), otherRegistered);
    EXPECT_EQ(ocx.CallExport("DllUnregisterServer"), S_OK) << "unregistering twice is not an error";

    ASSERT_EQ(ocx.CallExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(ocx.CallExport("DllRegisterServer"), S_OK) << "registering twice is not an error";
}

// On 64-bit Windows the 32-bit and the 64-bit control share their identities, each registered in its
// own view (the type library in its own platform's key): registering and unregistering one leaves
// whatever the other registered as it was (make test registers both first).
TEST(Registration, LeavesTheOtherBuildsViewAlone) {
    LoadedOcx ocx;
    ASSERT_NE(ocx.Get(), nullptr);
    const Reregister reregister{ocx};
    const std::wstring ctrl = L"CLSID\\" + fw::GuidText(kCtrlClsid);
    const std::pair<std::wstring, const wchar_t*> otherEntries[] = {
        {ctrl + L"\\InprocServer32", nullptr},
        {ctrl + L"\\TypeLib", nullptr},
        {L"CLSID\\" + fw::GuidText(kPropPageClsid) + L"\\InprocServer32", nullptr},
        {L"TOVALO.TovaloCtrl.1\\CLSID", nullptr},
        {TypeLibKey(kOtherPlatform), nullptr},
    };
    std::vector<std::wstring> before;
    for (const auto& [key, name] : otherEntries) before.push_back(OtherViewValue(key, name));

    for (const char* step : {"DllUnregisterServer", "DllRegisterServer"}) {
        ASSERT_EQ(ocx.CallExport(step), S_OK) << step;
        for (size_t i = 0; i < std::size(otherEntries); ++i) {
            EXPECT_EQ(OtherViewValue(otherEntries[i].first, otherEntries[i].second), before[i])
                << step << ": " << testing::PrintToString(otherEntries[i].first);
        }
    }
}

TEST(Module, FactoriesCreateBothClassesWithoutAggregation) {
    LoadedOcx ocx;
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(::GetProcAddress(ocx.Get(), "DllGetClassObject")));
    ASSERT_NE(getClassObject, nullptr);

    for (const CLSID* clsid : {&kCtrlClsid, &kPropPageClsid}) {
        fw::ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
        fw::ComPtr<IUnknown> object;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), S_OK);
        fw::ComPtr<IUnknown> aggregated;
        IUnknown* outer = object.Get();
        EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, aggregated.PutVoid()), CLASS_E_NOAGGREGATION);
    }
    fw::ComPtr<IClassFactory> none;
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, none.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(Module, CannotUnloadWhileObjectsOrLocksLive) {
    LoadedOcx ocx;
    auto canUnload = reinterpret_cast<RegFn>(reinterpret_cast<void*>(::GetProcAddress(ocx.Get(), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    ::CoFreeUnusedLibraries();
    {
        fw::ComPtr<IDispatch> control = CreateControl();
        EXPECT_EQ(canUnload(), S_FALSE);
    }
    EXPECT_EQ(canUnload(), S_OK);

    fw::ComPtr<IClassFactory> factory;
    ASSERT_EQ(::CoGetClassObject(kCtrlClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
              S_OK);
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(::CoGetClassObject(kCtrlClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.PutVoid()),
              S_OK);
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
}  // namespace tovalo_test
