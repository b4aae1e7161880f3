// Registry entries from tables; type library registration.
#include "framework/Registry.h"

#include "framework/Raii.h"

#include <oleauto.h>

#include <cwchar>
#include <iterator>
#include <set>

namespace fw {

std::wstring ExpandPlaceholders(std::wstring_view text, std::span<const Substitution> subs) {
    std::wstring out(text);
    for (const auto& [placeholder, replacement] : subs) {
        for (size_t at = out.find(placeholder); at != std::wstring::npos;
             at = out.find(placeholder, at + replacement.size())) {
            out.replace(at, placeholder.size(), replacement);
        }
    }
    return out;
}

namespace {

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_) ::RegCloseKey(key_);
    }
    HKEY* Put() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

LSTATUS WriteEntry(const RegistryEntry& entry, std::span<const Substitution> subs) {
    RegKey key;
    const std::wstring path = ExpandPlaceholders(entry.key, subs);
    LSTATUS rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, key.Put(), nullptr);
    if (rc != ERROR_SUCCESS || !entry.data) return rc;
    const std::wstring name = ExpandPlaceholders(entry.valueName, subs);
    const std::wstring data = ExpandPlaceholders(entry.data, subs);
    return ::RegSetValueExW(key.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

HRESULT RegisterEntries(std::span<const RegistryEntry> entries, std::span<const Substitution> subs) {
    for (const RegistryEntry& entry : entries) {
        const LSTATUS rc = WriteEntry(entry, subs);
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    return S_OK;
}

HRESULT UnregisterEntries(std::span<const RegistryEntry> entries, std::span<const Substitution> subs) {
    std::set<std::wstring> keys;
    for (const RegistryEntry& entry : entries) keys.insert(ExpandPlaceholders(entry.key, subs));
    HRESULT result = S_OK;
    for (const std::wstring& key : keys) {
        const size_t slash = key.rfind(L'\\');
        if (slash != std::wstring::npos && keys.count(key.substr(0, slash))) continue;  // goes with its parent
        const LSTATUS rc = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(rc);
    }
    return result;
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) return hr;
    // The help folder is the module's own folder.
    std::wstring path = modulePath;
    std::wstring folder = modulePath.substr(0, modulePath.find_last_of(L"\\/") + 1);
    return ::RegisterTypeLib(lib.Get(), path.data(), folder.empty() ? nullptr : folder.data());
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath) {
    // The identity comes from the module's own library, not from the registry: asked by GUID, a
    // 64-bit process falls back to the 32-bit registration when its own is missing, and would
    // remove the other build's.
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    const TLIBATTR own = *attr;
    lib->ReleaseTLibAttr(attr);
    const wchar_t* platform = own.syskind == SYS_WIN64 ? L"win64" : L"win32";
    wchar_t key[128] = {};
    ::swprintf(key, std::size(key), L"TypeLib\\%ls\\%x.%x\\%lx\\%ls", GuidText(own.guid).c_str(), own.wMajorVerNum,
               own.wMinorVerNum, static_cast<unsigned long>(own.lcid), platform);
    if (RegKey registered; ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, registered.Put()) != ERROR_SUCCESS) {
        return S_OK;
    }
    return ::UnRegisterTypeLib(own.guid, own.wMajorVerNum, own.wMinorVerNum, own.lcid, own.syskind);
}

bool ExistsInOtherView(std::wstring_view key) {
#ifdef _WIN64
    constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
    constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;
#endif
    // HKEY_CLASSES_ROOT merges the machine's classes and the user's.
    const std::wstring path = L"Software\\Classes\\" + std::wstring(key);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegKey found;
        if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kOtherView, found.Put()) == ERROR_SUCCESS) return true;
    }
    return false;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace fw
