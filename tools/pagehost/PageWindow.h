// The page as a browser tab shows it: the host's frame window with the page's controls embedded
// in it side by side, left to right in document order, from its top left corner. It stays until
// the page is closed (host.closePage) or the run ends.
#pragma once

#include "tools/pagehost/EmbeddedControl.h"
#include "tools/pagehost/FrameWindow.h"
#include "tools/pagehost/Page.h"

#include <memory>
#include <string>
#include <vector>

namespace pagehost {

struct PlacedControl {
    std::wstring id;
    std::unique_ptr<EmbeddedControl> control;
};

class PageWindow {
public:
    PageWindow() = default;
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;
    ~PageWindow() { tearDown(); }

    // Creates the frame, sized to hold every control, and embeds them. Returns an empty text when
    // all of them run, otherwise why one does not (the ones before it stay until the end).
    std::wstring open(const Page& page, const std::wstring& title, const PageZone& zone);
    // Whether open failed because a control does not declare itself safe for the page.
    bool refusedAsUnsafe() const;

    const std::vector<PlacedControl>& controls() const { return m_controls; }
    HWND frame() const { return m_frame.get(); }
    // The in-place window of the page's first control, whose list the host's members look into.
    HWND firstControlWindow() const;

    // As a user closing the browser tab: every control is deactivated and closed, then the frame
    // is destroyed with every window it owns (a dialog a control left open), and "PAGE CLOSED"
    // is printed. What the scripts hold of the controls stays theirs.
    void close();
    bool closed() const { return m_closed; }

private:
    void tearDown();

    UniqueWindow m_frame;
    std::vector<PlacedControl> m_controls;
    bool m_closed = false;
};

}  // namespace pagehost
