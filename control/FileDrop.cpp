// Files and folders dropped from the shell onto the control's list (CF_HDROP, by OLE or WM_DROPFILES).
#include "control/FileDrop.h"

#include "framework/ComObject.h"

#include <algorithm>
#include <utility>

namespace tovalo {
namespace {

// A drop names at most this many paths at once; the rest of a larger one is not taken.
constexpr UINT kMaxDroppedPaths = 10000;

constexpr FORMATETC kFileList = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

}  // namespace

std::vector<std::wstring> DroppedPaths(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && i < kMaxDroppedPaths; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

class FileDropRegistration::Target final : public fw::ComObject<IDropTarget> {
public:
    Target(HWND window, std::function<bool()> accepts) : window_(window), accepts_(std::move(accepts)) {}

    STDMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        FORMATETC format = kFileList;
        // Asked once per drag (it may ask the container for the page's URL); the drop asks again.
        taking_ = data && data->QueryGetData(&format) == S_OK && Accepts();
        return Answer(effect);
    }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override { return Answer(effect); }
    STDMETHODIMP DragLeave() override {
        taking_ = false;
        return S_OK;
    }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        taking_ = false;
        if (!effect) return E_INVALIDARG;
        *effect = DROPEFFECT_NONE;
        if (!data || !Accepts()) return S_OK;
        FORMATETC format = kFileList;
        STGMEDIUM medium{};
        if (FAILED(data->GetData(&format, &medium))) return S_OK;
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
            std::vector<std::wstring> paths = DroppedPaths(static_cast<HDROP>(medium.hGlobal));
            const size_t room = kMaxDroppedPaths - std::min<size_t>(pending_.size(), kMaxDroppedPaths);
            if (paths.size() > room) paths.resize(room);
            if (!paths.empty()) {
                pending_.insert(pending_.end(), paths.begin(), paths.end());
                ::PostMessageW(window_, kDropPendingMessage, 0, 0);
                *effect = DROPEFFECT_COPY;
            }
        }
        ::ReleaseStgMedium(&medium);
        return S_OK;
    }

    std::vector<std::wstring> TakePending() { return std::exchange(pending_, {}); }

    // After the window is gone no drop is taken (OLE may still hold this object for a moment).
    void Detach() {
        window_ = nullptr;
        accepts_ = nullptr;
        pending_.clear();
    }

private:
    ~Target() override = default;

    bool Accepts() const { return window_ && accepts_ && accepts_(); }

    HRESULT Answer(DWORD* effect) const {
        if (!effect) return E_INVALIDARG;
        // The shell offers copy, move and link; a dropped file is always copied into the list.
        *effect = taking_ ? (*effect & DROPEFFECT_COPY) : DROPEFFECT_NONE;
        return S_OK;
    }

    HWND window_;
    std::function<bool()> accepts_;
    bool taking_ = false;  // the drag carries files and the control takes them
    std::vector<std::wstring> pending_;
};

void FileDropRegistration::Register(HWND window, std::function<bool()> accepts) {
    Revoke();
    window_ = window;
    // The older protocol first: a source that does not speak OLE sends WM_DROPFILES.
    ::DragAcceptFiles(window, TRUE);
    target_ = new Target(window, std::move(accepts));
    // Fails where the thread has no OLE (a container that only called CoInitialize); then
    // WM_DROPFILES is the only way in.
    oleRegistered_ = SUCCEEDED(::RegisterDragDrop(window, target_));
}

void FileDropRegistration::Revoke() {
    if (!window_) return;
    if (oleRegistered_) ::RevokeDragDrop(window_);
    oleRegistered_ = false;
    if (::IsWindow(window_)) ::DragAcceptFiles(window_, FALSE);
    target_->Detach();
    target_->Release();
    target_ = nullptr;
    window_ = nullptr;
}

std::vector<std::wstring> FileDropRegistration::TakePending() {
    return target_ ? target_->TakePending() : std::vector<std::wstring>{};
}

}  // namespace tovalo
