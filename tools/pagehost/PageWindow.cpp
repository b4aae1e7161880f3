// The page's frame window and the controls in it (see PageWindow.h).
#include "tools/pagehost/PageWindow.h"

#include "tools/pagehost/Output.h"

#include <algorithm>

namespace pagehost {
namespace {

// The frame of a page without controls: room for the dialogs it opens to sit on.
constexpr int kEmptyWidth = 320;
constexpr int kEmptyHeight = 120;

SIZE frameSize(const std::vector<const PageObject*>& objects) {
    if (objects.empty()) {
        return {kEmptyWidth, kEmptyHeight};
    }
    SIZE size{0, 0};
    for (const PageObject* object : objects) {
        size.cx += object->width;
        size.cy = std::max<LONG>(size.cy, object->height);
    }
    return size;
}

}  // namespace

std::wstring PageWindow::open(const Page& page, const std::wstring& title, const PageZone& zone) {
    const std::vector<const PageObject*> objects = page.objects();
    const SIZE size = frameSize(objects);
    m_frame = createFrameWindow(title, size.cx, size.cy);
    if (!m_frame) {
        return L"the host window cannot be created (error " + std::to_wstring(GetLastError()) + L")";
    }
    int left = 0;
    for (const PageObject* object : objects) {
        m_controls.push_back({object->id, std::make_unique<EmbeddedControl>()});
        if (std::wstring error = m_controls.back().control->embed(*object, m_frame.get(), zone, left); !error.empty()) {
            return objects.size() > 1 ? object->id + L": " + error : error;
        }
        left += object->width;
    }
    return {};
}

bool PageWindow::refusedAsUnsafe() const {
    return std::any_of(m_controls.begin(), m_controls.end(),
                       [](const PlacedControl& placed) { return placed.control->refusedAsUnsafe(); });
}

HWND PageWindow::firstControlWindow() const {
    return m_closed || m_controls.empty() ? nullptr : m_controls.front().control->window();
}

void PageWindow::close() {
    m_closed = true;  // before the controls hear of it: what they run meanwhile finds the page closed
    tearDown();
    printLine(L"PAGE CLOSED");
}

void PageWindow::tearDown() {
    for (auto& placed : m_controls) {
        placed.control->close();
    }
    m_frame.reset();
}

}  // namespace pagehost
