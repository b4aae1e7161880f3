// Probe files: a server entry has no local file to ask the shell about, so an empty file with
// its extension is made for a moment in a folder every user may write to.
#include "control/TovaloCtrl.h"

#include "control/Extensions.h"
#include "control/MessageTexts.h"
#include "framework/Raii.h"

#include <shlobj.h>

#include <cwchar>
#include <iterator>
#include <ctime>
#include <memory>

namespace tovalo {
namespace {

// The low-integrity local application data folder, where even a protected-mode browser may write.
const GUID kFolderLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);

struct LibraryCloser {
    void operator()(HMODULE library) const { ::FreeLibrary(library); }
};

bool IsVistaOrLater() {
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) return extended.dwMajorVersion > 5;
    OSVERSIONINFOA plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    if (::GetVersionExA(&plain)) return plain.dwMajorVersion > 5;
#pragma GCC diagnostic pop
    return false;
}

// The known folder, or "" (noEntryPoint tells whether the system lacks the call altogether, which
// the user should hear of).
std::wstring KnownFolderLocalAppDataLow(bool& noEntryPoint) {
    noEntryPoint = false;
    std::unique_ptr<HINSTANCE__, LibraryCloser> shell(::LoadLibraryA("shell32.dll"));
    const auto getPath = shell ? reinterpret_cast<GetKnownFolderPathFn>(
                                     reinterpret_cast<void*>(::GetProcAddress(shell.get(), "SHGetKnownFolderPath")))
                               : nullptr;
    if (!getPath) {
        noEntryPoint = true;
        return {};
    }
    PWSTR wide = nullptr;
    if (FAILED(getPath(kFolderLocalAppDataLow, 0, nullptr, &wide)) || !wide) {
        ::CoTaskMemFree(wide);
        return {};
    }
    // Kept wide: a profile folder may hold characters the system's code page lacks.
    std::wstring folder(wide);
    ::CoTaskMemFree(wide);
    return folder;
}

std::wstring CommonAppData() {
    wchar_t folder[MAX_PATH] = {};
    return ::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, TRUE) ? std::wstring(folder)
                                                                                  : std::wstring();
}

}  // namespace

std::wstring CTovaloCtrl::GetProbeFolder() {
    if (!IsVistaOrLater()) return CommonAppData() + L"\\";
    bool noEntryPoint = false;
    std::wstring folder = KnownFolderLocalAppDataLow(noEntryPoint);
    if (noEntryPoint) Tell(msg::kNoKnownFolder);
    return folder + L"\\";
}

int CTovaloCtrl::ProbeIcon(const std::wstring& extension, std::wstring& typeText) {
    typeText = extension;
    // The extension comes from a name the page gives: it must not lead the probe out of its folder.
    if (!IsPlainExtension(extension)) return 0;
    // The shell names the probe by its last extension; one already asked about needs no probe.
    const std::wstring shellExtension(ShellExtensionOf(L"." + extension));
    if (const auto known = m_shellIcons.find(shellExtension); known != m_shellIcons.end()) {
        typeText = known->second.type;
        return known->second.image;
    }
    wchar_t stem[40];
    std::swprintf(stem, std::size(stem), L"%d%u.", static_cast<int>(m_tempFileCounter),
                  static_cast<unsigned>(static_cast<std::uint32_t>(std::time(nullptr))));
    ++m_tempFileCounter;
    const std::wstring path = GetProbeFolder() + stem + extension;
    // Someone else's file of that name is neither used nor removed.
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    const HANDLE probe =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return 0;
    ::CloseHandle(probe);
    const int icon = GetShellIcon(path, typeText);
    ::DeleteFileW(path.c_str());
    return icon;
}

}  // namespace tovalo
