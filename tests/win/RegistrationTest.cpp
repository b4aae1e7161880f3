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
        {L"TypeLib\\" + fw::GuidText(kLibId) + L"\\1.0\\0\\win32", nullptr, path},
        {L"Interface\\" + fw::GuidText(kDispatchIid), nullptr, L"_DTovalo"},
        {L"Interface\\" + fw::GuidText(kEventsIid), nullptr, L"_DTovaloEvents"},
    };
}

// Top-level keys that must be gone after unregistering.
std::vector<std::wstring> OwnedKeys() {
    return {
        L"CLSID\\" + fw::GuidText(kCtrlClsid),
        L"CLSID\\" + fw::GuidText(kPropPageClsid),
        L"TOVALO.TovaloCtrl.1",
        L"TypeLib\\" + fw::GuidText(kLibId),
        L"Interface\\" + fw::GuidText(kDispatchIid),
        L"Interface\\" + fw::GuidText(kEventsIid),
    };
}

TEST(Registration, RegistersEveryEntryAndUnregistersThemAll) {
    LoadedOcx ocx;
    ASSERT_NE(ocx.Get(), nullptr);
    // Whatever happens below, the control is left registered for the other tests and pages.
    struct Reregister {
        const LoadedOcx& ocx;
        ~Reregister() { ocx.CallExport("DllRegisterServer"); }
    } reregister{ocx};

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

    ASSERT_EQ(ocx.CallExport("DllUnregisterServer"), S_OK);
    for (const auto& key : OwnedKeys()) EXPECT_FALSE(KeyExists(key)) << testing::PrintToString(key);
    EXPECT_EQ(ocx.CallExport("DllUnregisterServer"), S_OK) << "unregistering twice is not an error";

    ASSERT_EQ(ocx.CallExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(ocx.CallExport("DllRegisterServer"), S_OK) << "registering twice is not an error";
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
