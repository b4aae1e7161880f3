// Table-driven registry entries under HKEY_CLASSES_ROOT, and type library registration.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace fw {

// One key, optionally with one string value. Texts may hold placeholders such as {CLSID}.
struct RegistryEntry {
    std::wstring_view key;          // below HKEY_CLASSES_ROOT
    std::wstring_view valueName;    // empty: the key's default value
    const wchar_t* data = nullptr;  // nullptr: the key alone, no value
};

// Placeholder -> replacement, e.g. {L"{CLSID}", L"{3B0B...}"}.
using Substitution = std::pair<std::wstring_view, std::wstring>;

std::wstring ExpandPlaceholders(std::wstring_view text, std::span<const Substitution> subs);

// Creates every key and value of the table. Returns the first failure.
HRESULT RegisterEntries(std::span<const RegistryEntry> entries, std::span<const Substitution> subs);
// Removes what RegisterEntries created: every key of the table whose parent is not itself in the
// table is deleted with its whole subtree. Keys that are already gone count as removed.
HRESULT UnregisterEntries(std::span<const RegistryEntry> entries, std::span<const Substitution> subs);

// Registers the type library stored as resource TYPELIB 1 in the module file at modulePath.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath);
// Removes the registration of the type library stored in the module file at modulePath for the
// library's own platform (its win32 or win64 key), and only that: on 64-bit Windows the 32-bit and
// the 64-bit build of a module share the library's key, each with its platform's path below it. A
// library not registered for its platform counts as removed.
HRESULT UnregisterTypeLibrary(const std::wstring& modulePath);

// On 64-bit Windows a 32-bit and a 64-bit program see one HKEY_CLASSES_ROOT, but for a few keys
// (CLSID and Interface among them) each has a view of its own. Whether the key below
// HKEY_CLASSES_ROOT exists in the other view: the 64-bit one for a 32-bit module under WoW64, the
// 32-bit one for a 64-bit module; false on 32-bit Windows, which has one view.
bool ExistsInOtherView(std::wstring_view key);

std::wstring GuidText(REFGUID guid);

}  // namespace fw
