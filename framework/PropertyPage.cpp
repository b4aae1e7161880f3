// Property page objects: the page dialog's life inside a property frame.
#include "framework/PropertyPage.h"

#include "framework/Module.h"

namespace fw {

PropertyPage::PropertyPage(UINT templateId, UINT captionId) : templateId_(templateId), captionId_(captionId) {}

PropertyPage::~PropertyPage() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = site;
    return S_OK;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;  // the page has no controls of its own to drive
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (hwnd_) return E_UNEXPECTED;
    hwnd_ = ::CreateDialogParamW(Module::Instance(), MAKEINTRESOURCEW(templateId_), parent, DialogProc, 0);
    if (!hwnd_) return E_OUTOFMEMORY;
    DoDataExchange(false);
    if (rect) Move(rect);
    return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
    if (hwnd_) ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    return S_OK;
}

SIZE PropertyPage::MeasureTemplate() const {
    // Dialog units depend on the template's font: create the page hidden under a hidden parent.
    SIZE size{250, 150};
    UniqueHwnd host(
        ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, Module::Instance(), nullptr));
    if (!host) return size;
    UniqueHwnd page(::CreateDialogParamW(Module::Instance(), MAKEINTRESOURCEW(templateId_), host.Get(), DialogProc, 0));
    RECT r{};
    if (page && ::GetWindowRect(page.Get(), &r)) size = {r.right - r.left, r.bottom - r.top};
    return size;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    const std::wstring title = Module::ResourceString(captionId_);
    const size_t bytes = (title.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!text) return E_OUTOFMEMORY;
    std::copy(title.c_str(), title.c_str() + title.size() + 1, text);
    info->cb = sizeof *info;
    info->pszTitle = text;
    info->size = MeasureTemplate();
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    objects_.clear();
    for (ULONG i = 0; i < count; ++i) objects_.emplace_back(objects[i]);
    return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT cmd) {
    if (!hwnd_) return E_UNEXPECTED;
    ::ShowWindow(hwnd_, static_cast<int>(cmd));
    return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!hwnd_) return E_UNEXPECTED;
    ::MoveWindow(hwnd_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP PropertyPage::Apply() {
    DoDataExchange(true);
    return S_OK;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* msg) {
    if (!msg || !hwnd_) return S_FALSE;
    return ::IsDialogMessageW(hwnd_, msg) ? S_OK : S_FALSE;
}

}  // namespace fw
