// The container side of an embedded control: client site, in-place site and frame, control
// site, and the ambient properties the control may ask for.
#include "tools/pagehost/ContainerSite.h"

#include <olectl.h>
#include <urlmon.h>

namespace pagehost {
namespace {

// What a browser tells a control about its surroundings: run mode, no design-time decorations.
struct Ambient {
    DISPID id;
    VARTYPE type;
    LONG value;
};
constexpr Ambient kAmbients[] = {
    {DISPID_AMBIENT_USERMODE, VT_BOOL, VARIANT_TRUE},
    {DISPID_AMBIENT_UIDEAD, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_SHOWGRABHANDLES, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_SHOWHATCHING, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_DISPLAYASDEFAULT, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_SUPPORTSMNEMONICS, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_MESSAGEREFLECT, VT_BOOL, VARIANT_FALSE},
    {DISPID_AMBIENT_AUTOCLIP, VT_BOOL, VARIANT_TRUE},
    {DISPID_AMBIENT_BACKCOLOR, VT_I4, 0xFFFFFF},
    {DISPID_AMBIENT_FORECOLOR, VT_I4, 0x000000},
};

}  // namespace

fw::ComPtr<ContainerSite> ContainerSite::create(HWND frame, const RECT& place) {
    return fw::ComPtr<ContainerSite>::Adopt(new ContainerSite(frame, place));
}

namespace {
// Calls to EnableModeless(FALSE) not yet undone, over every site of the page.
int g_modalDialogs = 0;
}  // namespace

STDMETHODIMP ContainerSite::EnableModeless(BOOL enable) {
    g_modalDialogs = enable ? (g_modalDialogs > 0 ? g_modalDialogs - 1 : 0) : g_modalDialogs + 1;
    return S_OK;
}

bool ContainerSite::modelessDisabled() { return g_modalDialogs > 0; }

STDMETHODIMP ContainerSite::GetMoniker(DWORD, DWORD which, IMoniker** moniker) {
    if (!moniker) {
        return E_POINTER;
    }
    *moniker = nullptr;
    // The container is the page's document: its moniker names the page's URL, as a browser's does.
    // The control within has no moniker of its own.
    if (which != OLEWHICHMK_CONTAINER || m_pageUrl.empty()) {
        return E_FAIL;
    }
    return CreateURLMonikerEx(nullptr, m_pageUrl.c_str(), moniker, URL_MK_UNIFORM);
}

STDMETHODIMP ContainerSite::GetContainer(IOleContainer** container) {
    if (container) {
        *container = nullptr;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP ContainerSite::GetWindow(HWND* window) {
    if (!window) {
        return E_POINTER;
    }
    *window = m_frame;
    return S_OK;
}

STDMETHODIMP ContainerSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                             RECT* clip, OLEINPLACEFRAMEINFO* info) {
    if (!frame || !document || !position || !clip || !info) {
        return E_POINTER;
    }
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *position = m_place;
    *clip = m_place;
    info->cb = sizeof(*info);
    info->fMDIApp = FALSE;
    info->hwndFrame = m_frame;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP ContainerSite::OnPosRectChange(const RECT* position) {
    if (!position) {
        return E_POINTER;
    }
    // The page has room for any size the control asks for: grant it as asked.
    m_place = *position;
    if (m_inPlace && !m_placing) {
        m_placing = true;  // a control that asks again while being placed is not answered twice
        m_inPlace->SetObjectRects(&m_place, &m_place);
        m_placing = false;
    }
    return S_OK;
}

STDMETHODIMP ContainerSite::GetBorder(RECT* border) {
    if (!border) {
        return E_POINTER;
    }
    return GetClientRect(m_frame, border) ? S_OK : E_FAIL;
}

STDMETHODIMP ContainerSite::GetExtendedControl(IDispatch** control) {
    if (control) {
        *control = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP ContainerSite::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP ContainerSite::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (member == DISPID_AMBIENT_LOCALEID && result) {
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(GetUserDefaultLCID());
        return S_OK;
    }
    for (const auto& ambient : kAmbients) {
        if (ambient.id != member) {
            continue;
        }
        if (!result) {
            return E_POINTER;
        }
        VariantInit(result);
        result->vt = ambient.type;
        if (ambient.type == VT_BOOL) {
            result->boolVal = static_cast<VARIANT_BOOL>(ambient.value);
        } else {
            result->lVal = ambient.value;
        }
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace pagehost
