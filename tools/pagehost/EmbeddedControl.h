// One ActiveX control embedded the way a browser embeds an <object>: created by class id,
// given a site, loaded from the params and activated in place in the frame window.
#pragma once

#include "framework/Raii.h"
#include "tools/pagehost/ContainerSite.h"
#include "tools/pagehost/Page.h"

#include <oleidl.h>

#include <string>

namespace pagehost {

class EmbeddedControl {
public:
    EmbeddedControl() = default;
    EmbeddedControl(const EmbeddedControl&) = delete;
    EmbeddedControl& operator=(const EmbeddedControl&) = delete;
    ~EmbeddedControl() { close(); }

    // Returns an empty text when the control runs, otherwise why it does not.
    std::wstring embed(const PageObject& object, HWND frame);

    // Deactivates and closes the control and lets go of it.
    void close();

    IDispatch* dispatch() const { return m_dispatch.Get(); }
    HWND window() const { return m_window; }

private:
    std::wstring load(const PageObject& object);

    fw::ComPtr<IOleObject> m_object;
    fw::ComPtr<IOleInPlaceObject> m_inPlace;
    fw::ComPtr<ContainerSite> m_site;
    fw::ComPtr<IDispatch> m_dispatch;
    HWND m_window = nullptr;
};

} // namespace pagehost
