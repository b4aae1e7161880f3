// _DTovalo: the dispatch table of CTovaloCtrl (every method and property with its DISPID) and the
// property accessors.
#include "control/TovaloCtrl.h"

#include "control/DecimalText.h"

#include "framework/Dialog.h"
#include "framework/LocalPath.h"
#include "framework/Module.h"
#include "res/resource.h"

namespace tovalo {
namespace {

using C = CTovaloCtrl;
using fw::DispArgs;

}  // namespace

// A text property that reads and writes its member; the setter marks the control modified.
template <std::string CTovaloCtrl::*Member>
constexpr fw::DispMember<CTovaloCtrl> CTovaloCtrl::TextProperty(const wchar_t* name, DISPID id) {
    return fw::DispProperty<C>(
        name, id, VT_BSTR, [](C& c, DispArgs, VARIANT& r) { fw::SetResultText(r, c.*Member); },
        [](C& c, const VARIANT& v) {
            c.*Member = fw::ArgText(v);
            c.SetModifiedFlag();
        });
}

// Members that add files or start an upload do nothing on a page that the site policy refuses. A
// path from the page's script is taken only as Windows resolves it, and only when that is on a
// drive of this machine: any other is treated as a missing file, since opening it could make
// Windows offer the user's credentials to another machine (the user's own picks and drops may
// name one).
const fw::DispMember<CTovaloCtrl> CTovaloCtrl::kDispatch[] = {
    // Methods.
    fw::DispMethod<C>(L"AboutBox", DISPID_ABOUTBOX, VT_EMPTY, {}, [](C& c, DispArgs, VARIANT&) { c.AboutBox(); }),
    // Compatibility: old pages still call SetAccount, UpLoadFiles and SetTimeOut. The account comes
    // through the properties and an upload through startUpload: these take their arguments and do
    // nothing (UpLoadFiles answers 0).
    fw::DispMethod<C>(L"SetAccount", 3, VT_EMPTY, {VT_BSTR, VT_I4, VT_BSTR, VT_BSTR}, [](C&, DispArgs, VARIANT&) {}),
    fw::DispMethod<C>(L"UpLoadFiles", 4, VT_I4, {}, [](C&, DispArgs, VARIANT& r) { fw::SetResultI4(r, 0); }),
    fw::DispMethod<C>(L"SelectFile", 5, VT_EMPTY, {},
                      [](C& c, DispArgs, VARIANT&) {
                          if (c.PageAllowed()) c.SelectFile();
                      }),
    fw::DispMethod<C>(L"LoadDirFiles", 6, VT_EMPTY, {VT_BSTR},
                      [](C& c, DispArgs a, VARIANT&) {
                          if (!c.PageAllowed()) return;
                          if (const auto folder = fw::ResolveDrivePath(fw::ArgWideText(a[0]))) c.LoadDirFiles(*folder);
                      }),
    fw::DispMethod<C>(L"ChangeListView", 7, VT_EMPTY, {VT_I4},
                      [](C& c, DispArgs a, VARIANT&) { c.ChangeListView(a[0].lVal); }),
    fw::DispMethod<C>(L"DeleteAllItemInList", 8, VT_EMPTY, {},
                      [](C& c, DispArgs, VARIANT&) { c.DeleteAllItemInList(); }),
    fw::DispMethod<C>(L"DeleteSelectedItem", 9, VT_EMPTY, {}, [](C& c, DispArgs, VARIANT&) { c.DeleteSelectedItem(); }),
    fw::DispMethod<C>(L"AddFileToList", 24, VT_EMPTY, {VT_BSTR},
                      [](C& c, DispArgs a, VARIANT&) {
                          if (!c.PageAllowed()) return;
                          if (const auto file = fw::ResolveDrivePath(fw::ArgWideText(a[0]))) c.AddFileToList(*file);
                      }),
    fw::DispMethod<C>(L"LoadFilesFromDialog", 25, VT_EMPTY, {},
                      [](C& c, DispArgs, VARIANT&) {
                          if (c.PageAllowed()) c.LoadFilesFromDialog();
                      }),
    fw::DispMethod<C>(L"UpdateHideIcons", 26, VT_EMPTY, {}, [](C& c, DispArgs, VARIANT&) { c.UpdateHideIcons(); }),
    fw::DispMethod<C>(L"ChangeIconSet", 27, VT_EMPTY, {VT_I4},
                      [](C& c, DispArgs a, VARIANT&) { c.ChangeIconSet(a[0].lVal); }),
    fw::DispMethod<C>(L"SetRetryCount", 28, VT_EMPTY, {VT_UI4},
                      [](C& c, DispArgs a, VARIANT&) { c.m_retryCount = a[0].ulVal; }),
    fw::DispMethod<C>(L"SetShowLogButton", 29, VT_EMPTY, {VT_UI4},
                      [](C& c, DispArgs a, VARIANT&) { c.m_showLogButton = a[0].ulVal; }),
    fw::DispMethod<C>(L"GetUploadResult", 30, VT_UI4, {},
                      [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_uploadResult); }),
    fw::DispMethod<C>(L"SetTimeOut", 31, VT_EMPTY, {VT_UI4}, [](C&, DispArgs, VARIANT&) {}),

    // Properties.
    TextProperty<&C::m_ftpHost>(L"ftpHost", 10),
    // Compatibility: once 0 has been written the port no longer changes (and the write is not even
    // marked); old pages rely on that.
    fw::DispProperty<C>(
        L"ftpPort", 11, VT_UI4, [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_ftpPort); },
        [](C& c, const VARIANT& v) {
            if (c.m_ftpPort == 0) return;
            c.m_ftpPort = v.ulVal;
            c.SetModifiedFlag();
        }),
    TextProperty<&C::m_ftpId>(L"ftpId", 12),
    TextProperty<&C::m_ftpPass>(L"ftpPass", 13),
    // Compatibility: 0 is not a limit but "use totalSizeStr", so a written 0 becomes 1 (a page cannot
    // go back to the 64-bit mode; see SizeLimit).
    fw::DispProperty<C>(
        L"totalSize", 14, VT_UI4, [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_limit.limit32); },
        [](C& c, const VARIANT& v) {
            c.m_limit.limit32 = v.ulVal ? v.ulVal : 1;
            c.SetModifiedFlag();
        }),
    TextProperty<&C::m_uploadPath>(L"uploadPath", 15),
    TextProperty<&C::m_retFiles>(L"retFiles", 16),
    TextProperty<&C::m_textAttFile>(L"textAttFile", 17),
    TextProperty<&C::m_textLimit>(L"textLimit", 18),
    TextProperty<&C::m_textDelete>(L"textDelete", 19),
    fw::DispProperty<C>(
        L"getFileShow", 20, VT_BSTR, [](C&, DispArgs, VARIANT& r) { fw::SetResultText(r, ""); },
        [](C& c, const VARIANT& v) {
            c.SetFileShow(fw::ArgText(v));
            c.SetModifiedFlag();
        }),
    TextProperty<&C::m_openFile>(L"OpenFile", 21),
    fw::DispProperty<C>(
        L"currentSize", 22, VT_UI4, [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_limit.Counted32()); },
        [](C& c, const VARIANT&) { c.SetModifiedFlag(); }),
    fw::DispProperty<C>(
        L"startUpload", 23, VT_BSTR, [](C& c, DispArgs, VARIANT& r) { fw::SetResultText(r, c.m_retFiles); },
        [](C& c, const VARIANT& v) {
            if (fw::ArgText(v) == "start" && c.PageAllowed()) c.StartUpload();
            c.SetModifiedFlag();
        }),
    fw::DispProperty<C>(
        L"uploadFilesize", 41, VT_BSTR, [](C& c, DispArgs, VARIANT& r) { fw::SetResultText(r, c.m_retFilesize); },
        [](C& c, const VARIANT&) { c.SetModifiedFlag(); }),
    TextProperty<&C::m_retFilesize>(L"retFilesize", 42),
    fw::DispProperty<C>(
        L"totalSizeStr", 43, VT_BSTR,
        [](C& c, DispArgs, VARIANT& r) {
            c.m_totalSizeStr = FormatU64(c.m_limit.limit64);
            fw::SetResultText(r, c.m_totalSizeStr);
        },
        [](C& c, const VARIANT& v) {
            // Compatibility: a missing value counts as "1", a limit of one byte rather than none.
            c.m_limit.limit64 = static_cast<std::uint64_t>(ParseInt64(fw::ArgIsNullText(v) ? "1" : fw::ArgText(v)));
            c.SetModifiedFlag();
        }),
    fw::DispProperty<C>(
        L"currentSizeStr", 44, VT_BSTR,
        [](C& c, DispArgs, VARIANT& r) {
            c.m_currentSizeStr = FormatU64(c.m_limit.Counted64());
            fw::SetResultText(r, c.m_currentSizeStr);
        },
        [](C& c, const VARIANT&) { c.SetModifiedFlag(); }),
    fw::DispProperty<C>(
        L"ftpSecure", 45, VT_UI4, [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_ftpSecure); },
        [](C& c, const VARIANT& v) {
            c.m_ftpSecure = v.ulVal;
            c.SetModifiedFlag();
        }),
    TextProperty<&C::m_ftpCertPin>(L"ftpCertPin", 46),
    fw::DispProperty<C>(
        L"resumeUploads", 47, VT_UI4, [](C& c, DispArgs, VARIANT& r) { fw::SetResultUI4(r, c.m_resumeUploads); },
        [](C& c, const VARIANT& v) {
            c.m_resumeUploads = v.ulVal;
            c.SetModifiedFlag();
        }),
};

HRESULT CTovaloCtrl::DispatchIdOfName(LPOLESTR* names, UINT count, DISPID* ids) {
    return fw::TableIdsOfNames<C>(kDispatch, names, count, ids);
}

HRESULT CTovaloCtrl::DispatchInvoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* argErr) {
    return fw::TableInvoke<C>(kDispatch, *this, id, flags, params, result, argErr);
}

void CTovaloCtrl::AboutBox() {
    fw::Dialog about(IDD_ABOUTBOX_TOVALO);
    about.RunModal();
}

}  // namespace tovalo
