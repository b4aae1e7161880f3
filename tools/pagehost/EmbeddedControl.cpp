// One ActiveX control embedded the way a browser embeds an <object>: created by class id,
// given a site, loaded from the params and activated in place in the frame window.
#include "tools/pagehost/EmbeddedControl.h"

#include "tools/pagehost/PropertyBag.h"
#include "tools/pagehost/ZoneSafety.h"

#include <ocidl.h>

#include <cwchar>

namespace pagehost {
namespace {

std::wstring hresultText(HRESULT hr) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

constexpr LONG kHimetricPerInch = 2540;

SIZEL pixelsToHimetric(int width, int height) {
    HDC screen = GetDC(nullptr);
    const int dpiX = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    const int dpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return {MulDiv(width, kHimetricPerInch, dpiX), MulDiv(height, kHimetricPerInch, dpiY)};
}

// The interface through which the control's state is initialised: the params' bag, or a fresh
// stream state when there are none (as load below does).
const IID& initialisedThrough(const PageObject& object, const fw::ComPtr<IOleObject>& control) {
    if (object.params.empty() && control.As<IPersistStreamInit>(IID_IPersistStreamInit)) {
        return IID_IPersistStreamInit;
    }
    return IID_IPersistPropertyBag;
}

}  // namespace

std::wstring EmbeddedControl::refuseUnsafe(const std::wstring& what, const PageZone& zone) {
    m_unsafe = true;
    return L"the control is not safe for " + what + L" on " +
           (zone.url.empty() ? std::wstring(L"a page without a URL") : zone.url);
}

std::wstring EmbeddedControl::embed(const PageObject& object, HWND frame, const PageZone& zone, int left) {
    CLSID clsid{};
    if (FAILED(CLSIDFromString(object.classId.c_str(), &clsid))) {
        return L"\"" + object.classId + L"\" is not a class id";
    }
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, m_object.PutVoid());
    if (FAILED(hr)) {
        return L"cannot create " + object.classId + L" (" + hresultText(hr) + L")";
    }
    const RECT place{left, 0, left + object.width, object.height};
    m_site = ContainerSite::create(frame, place);
    m_site->setPageUrl(zone.url);
    // Browsers hand over the site before loading: controls read ambient properties while loading,
    // and learn from it which page they are on.
    hr = m_object->SetClientSite(m_site->clientSite());
    if (FAILED(hr)) {
        return L"the control refuses its client site (" + hresultText(hr) + L")";
    }
    if (zone.askSafety && !safeForInitialisation(m_object.Get(), initialisedThrough(object, m_object))) {
        return refuseUnsafe(L"initialisation", zone) + L": its params are not loaded";
    }
    if (std::wstring error = load(object); !error.empty()) {
        return error;
    }
    SIZEL extent = pixelsToHimetric(object.width, object.height);
    m_object->SetExtent(DVASPECT_CONTENT, &extent);
    RECT activeRect = place;
    hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site->clientSite(), 0, frame, &activeRect);
    if (FAILED(hr)) {
        return L"the control cannot be activated in place (" + hresultText(hr) + L")";
    }
    m_inPlace = m_object.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    if (m_inPlace) {
        m_inPlace->GetWindow(&m_window);
        m_site->setInPlaceObject(m_inPlace.Get());
    }
    m_dispatch = m_object.As<IDispatch>(IID_IDispatch);
    if (!m_dispatch) {
        return L"the control has no dispatch interface";
    }
    if (zone.askSafety && !safeForScripting(m_object.Get())) {
        m_dispatch.Reset();
        return refuseUnsafe(L"scripting", zone) + L": the page's scripts do not run";
    }
    return {};
}

std::wstring EmbeddedControl::load(const PageObject& object) {
    const auto bagLoader = m_object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!object.params.empty()) {
        if (!bagLoader) {
            return L"the control cannot take <param> values (no IPersistPropertyBag)";
        }
        const auto bag = PropertyBag::create(object.params);
        const HRESULT hr = bagLoader->Load(bag.Get(), nullptr);
        return FAILED(hr) ? L"the control cannot load its params (" + hresultText(hr) + L")" : std::wstring();
    }
    HRESULT hr = S_OK;
    if (const auto streamInit = m_object.As<IPersistStreamInit>(IID_IPersistStreamInit)) {
        hr = streamInit->InitNew();
    } else if (bagLoader) {
        hr = bagLoader->InitNew();
    }
    return FAILED(hr) ? L"the control cannot initialise itself (" + hresultText(hr) + L")" : std::wstring();
}

void EmbeddedControl::close() {
    m_dispatch.Reset();
    if (m_site) {
        m_site->setInPlaceObject(nullptr);
    }
    if (m_inPlace) {
        m_inPlace->InPlaceDeactivate();
        m_inPlace.Reset();
    }
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object.Reset();
    }
    m_site.Reset();
    m_window = nullptr;
}

}  // namespace pagehost
