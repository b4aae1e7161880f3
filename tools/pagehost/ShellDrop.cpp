// Drops files on a window as the shell does: an OLE drag carrying CF_HDROP.
#include "tools/pagehost/ShellDrop.h"

#include "framework/Raii.h"
#include "tools/pagehost/HostError.h"
#include "framework/ComObject.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace pagehost {
namespace {

constexpr FORMATETC kFileList = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

// The drop source releases the button at its second question: the target has seen the drag
// enter before it sees the drop, as with a hand on the mouse.
constexpr int kQuestionsBeforeDrop = 2;

struct GlobalFree {
    void operator()(HGLOBAL memory) const { ::GlobalFree(memory); }
};
using UniqueGlobal = std::unique_ptr<void, GlobalFree>;

// DROPFILES followed by the wide paths, each ended by a null, and one more null.
std::vector<unsigned char> fileList(const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const auto& path : paths) {
        names += path;
        names += L'\0';
    }
    names += L'\0';
    std::vector<unsigned char> bytes(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));
    return bytes;
}

class FileListData final : public fw::ComObject<IDataObject> {
public:
    explicit FileListData(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) {
            return E_INVALIDARG;
        }
        if (const HRESULT hr = QueryGetData(format); hr != S_OK) {
            return hr;
        }
        UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, m_bytes.size()));
        void* bytes = memory ? ::GlobalLock(memory.get()) : nullptr;
        if (!bytes) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(bytes, m_bytes.data(), m_bytes.size());
        ::GlobalUnlock(memory.get());
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory.release();
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!format) {
            return E_INVALIDARG;
        }
        if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT) {
            return DV_E_FORMATETC;
        }
        return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) {
            out->ptd = nullptr;
        }
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (direction != DATADIR_GET) {
            return E_NOTIMPL;
        }
        FORMATETC format = kFileList;
        return SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~FileListData() override = default;

    std::vector<unsigned char> m_bytes;
};

class ReleasingSource final : public fw::ComObject<IDropSource> {
public:
    STDMETHODIMP QueryContinueDrag(BOOL escape, DWORD) override {
        if (escape) {
            return DRAGDROP_S_CANCEL;
        }
        return ++m_questions >= kQuestionsBeforeDrop ? DRAGDROP_S_DROP : S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ~ReleasingSource() override = default;

    int m_questions = 0;
};

std::wstring effectName(DWORD effect) {
    if (effect & DROPEFFECT_COPY) {
        return L"copy";
    }
    if (effect & DROPEFFECT_MOVE) {
        return L"move";
    }
    return effect & DROPEFFECT_LINK ? L"link" : L"none";
}

}  // namespace

std::wstring dropFiles(HWND window, const std::vector<std::wstring>& paths) {
    RECT place{};
    if (!window || !::GetWindowRect(window, &place)) {
        throw HostError(L"host.dropFiles: the page has no control window to drop on");
    }
    // The pointer goes to the middle of the window, over which the button is released.
    ::SetForegroundWindow(::GetAncestor(window, GA_ROOT));
    ::SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    const auto data = fw::ComPtr<IDataObject>::Adopt(new FileListData(fileList(paths)));
    const auto source = fw::ComPtr<IDropSource>::Adopt(new ReleasingSource());
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr =
        ::DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    if (FAILED(hr)) {
        throw HostError(L"host.dropFiles: the drag failed");
    }
    return hr == DRAGDROP_S_DROP ? effectName(effect) : L"none";
}

}  // namespace pagehost
