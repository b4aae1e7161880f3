// OLE control base: the window's message routing and drawing into a container's device context.
#include "framework/OleControl.h"

namespace fw {

LRESULT OleControl::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) hwnd_ = hwnd;  // handlers of WM_CREATE already see the window
    if (msg == WM_SETFOCUS || msg == WM_MOUSEACTIVATE) OnFocusOrClick();
    return OnWindowMessage(msg, wp, lp);
}

void OleControl::OnDraw(HDC dc, const RECT& bounds) { DoSuperclassPaint(dc, bounds); }

void OleControl::DoSuperclassPaint(HDC dc, const RECT& bounds) {
    if (!hwnd_) return;
    // Where the client area sits inside the window (the border's width).
    RECT window{}, client{};
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd_, &origin);
    const int dx = origin.x - window.left, dy = origin.y - window.top;

    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    if (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_BORDER) {
        const RECT frame = {bounds.left, bounds.top, bounds.left + (window.right - window.left),
                            bounds.top + (window.bottom - window.top)};
        ::FrameRect(dc, &frame, ::GetSysColorBrush(COLOR_WINDOWFRAME));
    }
    // The client area as the window paints it itself (not every system class prints its frame).
    ::IntersectClipRect(dc, bounds.left + dx, bounds.top + dy, bounds.left + dx + client.right,
                        bounds.top + dy + client.bottom);
    ::OffsetViewportOrgEx(dc, bounds.left + dx, bounds.top + dy, nullptr);
    ::SendMessageW(hwnd_, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    ::RestoreDC(dc, saved);
}

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                              BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc) return E_INVALIDARG;
    RECT r{};
    if (bounds) {
        r = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (hwnd_) {
        ::GetClientRect(hwnd_, &r);
    } else {
        return E_INVALIDARG;
    }
    OnDraw(dc, r);
    return S_OK;
}

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    viewSink_ = sink;
    return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace fw
