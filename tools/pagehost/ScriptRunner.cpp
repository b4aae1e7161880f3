// Runs the page's script blocks in the system's JScript engine, with the control and the host
// object as named items; script errors are printed and end the run.
#include "tools/pagehost/ScriptRunner.h"

#include "framework/ComObject.h"
#include "tools/pagehost/Output.h"
#include "tools/pagehost/ScriptFailure.h"

#include <activscp.h>

#include <cwchar>

namespace pagehost {
namespace {

// The parser interface has one layout and one identity per pointer size (its source context is a
// DWORD_PTR): a 64-bit engine answers only to the 64-bit one, a 32-bit engine only to the 32-bit
// one. The headers name the build's own as IActiveScriptParse; its identity comes with the
// declaration (mingw's uuid library lacks the 32-bit one).
using ScriptParser = IActiveScriptParse;

std::wstring hresultText(HRESULT hr) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

// Failures the dispatch machinery reports without a description of its own.
struct KnownFailure {
    HRESULT code;
    const wchar_t* text;
};
constexpr KnownFailure kKnownFailures[] = {
    {DISP_E_TYPEMISMATCH, L"type mismatch"},
    {DISP_E_BADPARAMCOUNT, L"wrong number of arguments"},
    {DISP_E_PARAMNOTOPTIONAL, L"an argument is missing"},
    {DISP_E_MEMBERNOTFOUND, L"no such member"},
    {DISP_E_UNKNOWNNAME, L"unknown name"},
    {DISP_E_OVERFLOW, L"value out of range"},
    {DISP_E_NONAMEDARGS, L"named arguments are not supported"},
    {E_INVALIDARG, L"invalid argument"},
    {E_OUTOFMEMORY, L"out of memory"},
    {E_NOTIMPL, L"not implemented"},
    {E_FAIL, L"failed"},
};

std::wstring failureText(HRESULT code) {
    for (const auto& known : kKnownFailures) {
        if (known.code == code) {
            return std::wstring(known.text) + L" (" + hresultText(code) + L")";
        }
    }
    return L"error " + hresultText(code);
}

std::wstring describe(EXCEPINFO& info, HRESULT fallback) {
    if (info.pfnDeferredFillIn) {
        info.pfnDeferredFillIn(&info);
    }
    std::wstring text =
        info.bstrDescription ? std::wstring(info.bstrDescription, SysStringLen(info.bstrDescription)) : std::wstring();
    const HRESULT code = info.scode ? info.scode : fallback;
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
    return text.empty() ? failureText(code) : text;
}

class ScriptSite final : public fw::ComObject<IActiveScriptSite, IActiveScriptSiteWindow> {
public:
    ScriptSite(const std::vector<NamedItem>& items, const PageWindow& page, ScriptFailure& failure)
        : m_items(items), m_page(page), m_failure(failure) {}

    bool failed() const { return m_failure.failed(); }

    // Reports a failure the engine itself did not report through OnScriptError.
    void fail(const std::wstring& message) { m_failure.fail(message); }

    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }

    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown, ITypeInfo** typeInfo) override {
        if (unknown) {
            *unknown = nullptr;
        }
        if (typeInfo) {
            *typeInfo = nullptr;
        }
        for (const auto& item : m_items) {
            if (!name || item.name != name) {
                continue;
            }
            if (mask & SCRIPTINFO_IUNKNOWN) {
                if (!unknown) {
                    return E_POINTER;
                }
                item.object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown));
            }
            if ((mask & SCRIPTINFO_ITYPEINFO) && typeInfo) {
                if (auto classInfo = item.object.As<IProvideClassInfo>(IID_IProvideClassInfo)) {
                    classInfo->GetClassInfo(typeInfo);
                }
                if (!*typeInfo && !(mask & SCRIPTINFO_IUNKNOWN)) {
                    return TYPE_E_ELEMENTNOTFOUND;
                }
            }
            return S_OK;
        }
        return TYPE_E_ELEMENTNOTFOUND;
    }

    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }

    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        if (!error) {
            return E_POINTER;
        }
        EXCEPINFO info{};
        const HRESULT hr = error->GetExceptionInfo(&info);
        std::wstring message = SUCCEEDED(hr) ? describe(info, E_FAIL) : L"unknown error";
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &column))) {
            message += L" (line " + std::to_wstring(line + 1) + L")";
        }
        fail(message);
        return S_OK;
    }

    STDMETHODIMP GetWindow(HWND* window) override {
        if (!window) {
            return E_POINTER;
        }
        *window = m_page.frame();  // none once the page is closed
        return S_OK;
    }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

private:
    ~ScriptSite() override = default;

    const std::vector<NamedItem>& m_items;
    const PageWindow& m_page;
    ScriptFailure& m_failure;
};

}  // namespace

bool runScripts(const std::vector<PageScript>& scripts, const std::vector<NamedItem>& items, const PageWindow& page,
                ScriptFailure& failure) {
    const auto site = fw::ComPtr<ScriptSite>::Adopt(new ScriptSite(items, page, failure));
    CLSID engineClass{};
    fw::ComPtr<IActiveScript> engine;
    HRESULT hr = CLSIDFromProgID(L"JScript", &engineClass);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(engineClass, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine.PutVoid());
    }
    if (FAILED(hr)) {
        site->fail(L"no JScript engine (" + hresultText(hr) + L")");
        return false;
    }
    const auto parser = engine.As<ScriptParser>(__uuidof(ScriptParser));
    if (!parser) {
        // Released unclosed: an engine that never had a site has nothing to close (and Wine's
        // 64-bit engine crashes closing one).
        site->fail(L"the JScript engine offers no parser for this platform");
        return false;
    }
    if (FAILED(engine->SetScriptSite(static_cast<IActiveScriptSite*>(site.Get()))) || FAILED(parser->InitNew())) {
        site->fail(L"the JScript engine cannot be set up");
        engine->Close();
        return false;
    }
    for (const auto& item : items) {
        const DWORD flags = SCRIPTITEM_ISVISIBLE | (item.eventSource ? SCRIPTITEM_ISSOURCE : 0);
        if (FAILED(engine->AddNamedItem(item.name.c_str(), flags))) {
            site->fail(L"the name \"" + item.name + L"\" cannot be given to the scripts");
        }
    }
    if (!site->failed()) {
        // Started before parsing: every block then runs as soon as it is parsed, in page order.
        engine->SetScriptState(SCRIPTSTATE_STARTED);
    }
    // A closed page runs no more blocks; the one that closed it ran on (a browser would have
    // stopped it, but a page reads the controls afterwards).
    for (size_t index = 0; index < scripts.size() && !site->failed() && !page.closed(); ++index) {
        const PageScript& script = scripts[index];
        EXCEPINFO info{};
        hr = parser->ParseScriptText(script.code.c_str(), nullptr, nullptr, nullptr, static_cast<DWORD_PTR>(index),
                                     script.line, SCRIPTTEXT_ISVISIBLE, nullptr, &info);
        if (FAILED(hr)) {
            site->fail(describe(info, hr));
        }
    }
    engine->Close();
    return !site->failed();
}

}  // namespace pagehost
