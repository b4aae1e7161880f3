// One ActiveX control embedded the way a browser embeds an <object>: created by class id,
// given a site, loaded from the params and activated in place in the frame window.
#pragma once

#include "framework/Raii.h"
#include "tools/pagehost/ContainerSite.h"
#include "tools/pagehost/Page.h"

#include <oleidl.h>

#include <string>

namespace pagehost {

// The zone the page is in, as a browser sees it.
struct PageZone {
    std::wstring url;       // the page's URL, told to the control through the site's moniker
    bool askSafety = true;  // Internet zone: the control must be safe for initialisation and scripting
};

class EmbeddedControl {
public:
    EmbeddedControl() = default;
    EmbeddedControl(const EmbeddedControl&) = delete;
    EmbeddedControl& operator=(const EmbeddedControl&) = delete;
    ~EmbeddedControl() { close(); }

    // Returns an empty text when the control runs, otherwise why it does not. The control is
    // placed `left` pixels from the frame's left edge, at its top.
    std::wstring embed(const PageObject& object, HWND frame, const PageZone& zone, int left = 0);
    // As a program embeds it: no page URL, no safety questions.
    std::wstring embed(const PageObject& object, HWND frame) { return embed(object, frame, PageZone{L"", false}); }

    // Whether embed failed because the control does not declare itself safe for the page.
    bool refusedAsUnsafe() const { return m_unsafe; }

    // Deactivates and closes the control and lets go of it.
    void close();

    IDispatch* dispatch() const { return m_dispatch.Get(); }
    // The control as the object that takes the keyboard's keys first (null when it has none).
    fw::ComPtr<IOleInPlaceActiveObject> activeObject() const {
        return m_object.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    }
    HWND window() const { return m_window; }

private:
    std::wstring load(const PageObject& object);
    std::wstring refuseUnsafe(const std::wstring& what, const PageZone& zone);

    fw::ComPtr<IOleObject> m_object;
    fw::ComPtr<IOleInPlaceObject> m_inPlace;
    fw::ComPtr<ContainerSite> m_site;
    fw::ComPtr<IDispatch> m_dispatch;
    HWND m_window = nullptr;
    bool m_unsafe = false;
};

}  // namespace pagehost
