// The page's `host` object: a dispatch interface over a table of members that print, pump
// messages, look into the first control's list view, arrange dialog answers, take screenshots
// and end the page the way a browser's user or thread does.
#pragma once

#include "framework/ComObject.h"
#include "framework/Raii.h"
#include "tools/pagehost/DialogHook.h"
#include "tools/pagehost/ScriptFailure.h"
#include "tools/pagehost/Watchdog.h"

#include <oaidl.h>

#include <string>

namespace pagehost {

class PageWindow;

struct HostContext {
    PageWindow* page = nullptr;  // the host window and the controls in it
    DialogHook* dialogs = nullptr;
    std::wstring pageFolder;  // Windows path of the folder that holds the page
    Watchdog* watchdog = nullptr;
    ScriptFailure* failure = nullptr;  // a function the host calls back may fail the run
};

class HostObject final : public fw::ComObject<IDispatch> {
public:
    static fw::ComPtr<IDispatch> create(const HostContext& context);

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    explicit HostObject(const HostContext& context) : m_context(context) {}
    ~HostObject() override = default;

    HostContext m_context;
};

}  // namespace pagehost
