// Registry entries of the control and its property page, and the order of (un)registration.
#include "control/Registration.h"

#include "control/Guids.h"
#include "framework/Module.h"
#include "framework/Registry.h"
#include "res/resource.h"
#include "TovaloVersion.h"

#include <olectl.h>

#include <string>
#include <vector>

namespace tovalo {
namespace {

// Everything a container needs to find, create and show the control.
const fw::RegistryEntry kControlEntries[] = {
    {L"CLSID\\{CLSID}", L"", L"{NAME}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"", L"{PATH}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\{CLSID}\\ProgID", L"", L"{PROGID}"},
    {L"CLSID\\{CLSID}\\Control", L"", nullptr},
    {L"CLSID\\{CLSID}\\MiscStatus", L"", L"0"},
    {L"CLSID\\{CLSID}\\MiscStatus\\1", L"", L"{MISC}"},
    {L"CLSID\\{CLSID}\\ToolboxBitmap32", L"", L"{PATH}, {BITMAP}"},
    {L"CLSID\\{CLSID}\\TypeLib", L"", L"{LIBID}"},
    {L"CLSID\\{CLSID}\\Version", L"", L"{VERSION}"},
    // The release installed, for a browser that compares it with a page's codebase "#version=".
    {L"CLSID\\{CLSID}\\InstalledVersion", L"", L"{INSTALLED}"},
};

// The ProgID is one key for the 32-bit and the 64-bit control on 64-bit Windows (only CLSID keys
// have a view each), naming the same class for both: it goes with the last of them.
const fw::RegistryEntry kProgIdEntries[] = {
    {L"{PROGID}", L"", L"{NAME}"},
    {L"{PROGID}\\CLSID", L"", L"{CLSID}"},
};

// The property page is created by CLSID only (no ProgID).
const fw::RegistryEntry kPropPageEntries[] = {
    {L"CLSID\\{CLSID}", L"", L"{NAME}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"", L"{PATH}"},
    {L"CLSID\\{CLSID}\\InprocServer32", L"ThreadingModel", L"Apartment"},
};

std::vector<fw::Substitution> ControlSubstitutions() {
    return {
        {L"{CLSID}", fw::GuidText(CLSID_TovaloCtrl)},
        {L"{NAME}", fw::Module::ResourceString(IDS_TOVALO)},
        {L"{PATH}", fw::Module::Path()},
        {L"{PROGID}", kControlProgId},
        {L"{MISC}", std::to_wstring(kMiscStatus)},
        {L"{BITMAP}", std::to_wstring(IDB_TOVALO)},
        {L"{LIBID}", fw::GuidText(LIBID_TovaloLib)},
        {L"{VERSION}", std::to_wstring(kLibMajor) + L"." + std::to_wstring(kLibMinor)},
        {L"{INSTALLED}", TOVALO_VERSION_COMMAS_WTEXT},
    };
}

std::vector<fw::Substitution> PropPageSubstitutions() {
    return {
        {L"{CLSID}", fw::GuidText(CLSID_TovaloPropPage)},
        {L"{NAME}", fw::Module::ResourceString(IDS_TOVALO_PPG)},
        {L"{PATH}", fw::Module::Path()},
    };
}

}  // namespace

HRESULT RegisterServer() {
    try {
        if (FAILED(fw::RegisterTypeLibrary(fw::Module::Path()))) return SELFREG_E_TYPELIB;
        const auto control = ControlSubstitutions();
        if (FAILED(fw::RegisterEntries(kControlEntries, control)) ||
            FAILED(fw::RegisterEntries(kProgIdEntries, control)) ||
            FAILED(fw::RegisterEntries(kPropPageEntries, PropPageSubstitutions()))) {
            return SELFREG_E_CLASS;
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer() {
    try {
        if (FAILED(fw::UnregisterTypeLibrary(fw::Module::Path()))) return SELFREG_E_TYPELIB;
        const auto substitutions = ControlSubstitutions();
        const HRESULT control = fw::UnregisterEntries(kControlEntries, substitutions);
        const HRESULT progId = fw::ExistsInOtherView(L"CLSID\\" + fw::GuidText(CLSID_TovaloCtrl))
                                   ? S_OK
                                   : fw::UnregisterEntries(kProgIdEntries, substitutions);
        const HRESULT page = fw::UnregisterEntries(kPropPageEntries, PropPageSubstitutions());
        return FAILED(control) || FAILED(progId) || FAILED(page) ? SELFREG_E_CLASS : S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tovalo
