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
// Removes a type library registration; a library that is not registered counts as removed.
HRESULT UnregisterTypeLibrary(REFGUID libid, WORD major, WORD minor);

std::wstring GuidText(REFGUID guid);

}  // namespace fw
