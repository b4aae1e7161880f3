// OLE control base: the embedding protocol (IOleObject) and in-place activation.
#include "framework/OleControl.h"

#include "framework/Module.h"

namespace fw {

STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site) {
    // A control without a site cannot stay in place (a container that skipped Close).
    if (!site) InPlaceDeactivate();
    clientSite_ = site;
    return S_OK;
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP OleControl::Close(DWORD saveOption) {
    if (saveOption != OLECLOSE_NOSAVE && modified_ && clientSite_) {
        if (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) clientSite_->SaveObject();
    }
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb, site, parent, rect);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (HWND placed = PlacedWindow()) ::ShowWindow(placed, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES: {
        HWND owner = parent;
        if (!owner && inPlaceSite_) inPlaceSite_->GetWindow(&owner);
        return ShowPropertyPages(owner);
    }
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    *verbs = nullptr;
    if (class_.verbs.empty()) return OLEOBJ_E_NOVERBS;
    *verbs = CreateVerbEnum(class_.verbs);
    return *verbs ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP OleControl::GetUserType(DWORD, LPOLESTR* name) {
    if (!name) return E_POINTER;
    const std::wstring text = Module::ResourceString(class_.userTypeNameId);
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *name = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!*name) return E_OUTOFMEMORY;
    std::copy(text.c_str(), text.c_str() + text.size() + 1, *name);
    return S_OK;
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!adviseHolder_) {
        const HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.Put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, cookie);
}

STDMETHODIMP OleControl::Unadvise(DWORD cookie) {
    return adviseHolder_ ? adviseHolder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** e) {
    if (!e) return E_POINTER;
    *e = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(e) : S_OK;
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? class_.miscStatus : 0;
    return S_OK;
}

// --- In-place activation -----------------------------------------------------------------------

HRESULT OleControl::InPlaceActivate(LONG verb, IOleClientSite* activeSite, HWND, LPCRECT rect) {
    if (!inPlaceActive_) {
        IOleClientSite* site = activeSite ? activeSite : clientSite_.Get();
        if (!site) return E_UNEXPECTED;
        ComPtr<IOleInPlaceSite> inPlace;
        HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, inPlace.PutVoid());
        if (FAILED(hr)) return hr;
        if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
        hr = inPlace->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        inPlaceSite_ = inPlace;
        inPlaceActive_ = true;

        HWND parent = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        inPlace->GetWindow(&parent);
        inPlace->GetWindowContext(frame_.Put(), uiWindow_.Put(), &pos, &clip, &frameInfo);
        if (rect) pos = *rect;

        if (!hwnd_ && !CreateControlWindow(pos, parent)) {
            InPlaceDeactivate();
            return E_FAIL;
        }
        ::ShowWindow(PlacedWindow(), SW_SHOWNA);
    } else {
        if (rect) SetObjectRects(rect, rect);
        // Every verb that activates also shows: the window may have been hidden by OLEIVERB_HIDE.
        if (HWND placed = PlacedWindow(); placed && !::IsWindowVisible(placed)) ::ShowWindow(placed, SW_SHOWNA);
    }
    if (verb == OLEIVERB_UIACTIVATE && !uiActive_ && inPlaceSite_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        ::SetFocus(hwnd_);
        if (frame_) frame_->SetActiveObject(this, nullptr);
        if (uiWindow_) uiWindow_->SetActiveObject(this, nullptr);
        if (frame_) frame_->SetBorderSpace(nullptr);
        if (uiWindow_) uiWindow_->SetBorderSpace(nullptr);
    }
    return S_OK;
}

void OleControl::OnFocusOrClick() {
    // A windowed control makes itself UI-active when the user clicks it or moves the focus into
    // it, as containers expect: only the UI-active object gets the keyboard from a browser.
    if (inPlaceActive_ && !uiActive_) InPlaceActivate(OLEIVERB_UIACTIVATE, nullptr, nullptr, nullptr);
}

STDMETHODIMP OleControl::TranslateAccelerator(LPMSG msg) {
    // Browsers offer every key to the UI-active object first and treat what it declines as their
    // own keys (arrows and paging scroll the page, Ctrl+A selects it). The control's keys
    // therefore go straight to its window; Tab and the rest stay with the container.
    if (!msg || !hwnd_ || (msg->hwnd != hwnd_ && !::IsChild(hwnd_, msg->hwnd))) return S_FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP) return S_FALSE;
    if (!TakesKey(*msg)) return S_FALSE;
    ::SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    return S_OK;
}

bool OleControl::TakesKey(const MSG& msg) const {
    switch (msg.wParam) {
    case VK_UP:
    case VK_DOWN:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
        return true;
    default:
        return false;
    }
}

STDMETHODIMP OleControl::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = hwnd_;
    return hwnd_ ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    DestroyControlWindow();
    ComPtr<IOleInPlaceSite> site = inPlaceSite_;
    inPlaceSite_.Reset();
    frame_.Reset();
    uiWindow_.Reset();
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    if (HWND placed = PlacedWindow()) {
        ::SetWindowPos(placed, nullptr, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return S_OK;
}

bool OleControl::CreateControlWindow(const RECT& pos, HWND parent) {
    DestroyControlWindow();  // a reflector whose window someone else destroyed
    WindowCreate create{nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0};
    PreCreateWindow(create);
    if (!create.reflect) {
        hwnd_ = CreateSuperclassWindow(create, pos, parent, this);
        return hwnd_ != nullptr;
    }
    reflector_ = CreateReflectorWindow(pos, parent);
    if (!reflector_) return false;
    // Shown and hidden with the reflector, at its size.
    create.style |= WS_VISIBLE;
    const RECT inside{0, 0, pos.right - pos.left, pos.bottom - pos.top};
    hwnd_ = CreateSuperclassWindow(create, inside, reflector_, this);
    if (!hwnd_) DestroyControlWindow();
    return hwnd_ != nullptr;
}

void OleControl::DestroyControlWindow() {
    HWND placed = PlacedWindow();
    reflector_ = nullptr;
    // The container may have destroyed its window, and ours with it, already. Clears hwnd_ through
    // OnWindowDestroyed.
    if (placed && ::IsWindow(placed)) ::DestroyWindow(placed);
}

void OleControl::OnWindowDestroyed() { hwnd_ = nullptr; }

}  // namespace fw
