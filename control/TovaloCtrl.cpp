// CTovaloCtrl: construction, identity, the list view window (styles, image lists, columns), drawing.
#include "control/TovaloCtrl.h"

#include "upload/FileUploadDlg.h"

#include "control/Guids.h"
#include "framework/AccessibleText.h"
#include "framework/ClassFactory.h"
#include "framework/Dpi.h"
#include "framework/Module.h"
#include "framework/Text.h"
#include "res/resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tovalo {
namespace {

const CLSID kPropertyPages[] = {CLSID_TovaloPropPage};

// The properties verb shows the property page.
const fw::ControlVerb kVerbs[] = {{OLEIVERB_PROPERTIES, L"&Properties..."}};

const fw::ControlClass kControlClass = {
    CLSID_TovaloCtrl, DIID_DTovalo, DIID_DTovaloEvents, LIBID_TovaloLib, kLibMajor,
    kLibMinor,        kMiscStatus,  IDS_TOVALO,         kPropertyPages,  kVerbs,
};

// The list's columns: name, type, size text, then two hidden ones (path, size in bytes). Widths
// at 96 DPI.
struct Column {
    const wchar_t* header;
    int format;
    int width;
};
const Column kColumns[] = {
    {L"이름", LVCFMT_LEFT, 220}, {L"형식", LVCFMT_LEFT, 150}, {L"크기", LVCFMT_RIGHT, 100},
    {L"", LVCFMT_RIGHT, 0},      {L"", LVCFMT_RIGHT, 0},
};

// A copy of one of the shell's system image lists; the shell's own list is only borrowed.
fw::UniqueImageList CopyShellImages(UINT sizeFlag) {
    SHFILEINFOA info{};
    const auto shell =
        reinterpret_cast<HIMAGELIST>(::SHGetFileInfoA("", 0, &info, sizeof info, SHGFI_SYSICONINDEX | sizeFlag));
    return fw::UniqueImageList(shell ? ::ImageList_Duplicate(shell) : nullptr);
}

}  // namespace

CTovaloCtrl::CTovaloCtrl() : fw::OleControl(kControlClass), m_openFile(fw::ToAnsi(L"모든 파일 (*.*)|*.*|")) {}

HRESULT CreateTovaloCtrl(REFIID riid, void** out) { return fw::CreateComObject<CTovaloCtrl>(riid, out); }

IUnknown* CTovaloCtrl::QueryExtraInterface(REFIID riid) {
    return IsEqualIID(riid, IID_IObjectSafety) ? static_cast<IObjectSafety*>(&m_xObjSafe) : nullptr;
}

const fw::PersistedProperty<CTovaloCtrl> CTovaloCtrl::kPersisted[] = {
    {L"ftpHost", &CTovaloCtrl::m_ftpHost},
    {L"ftpPort", &CTovaloCtrl::m_ftpPort},
    {L"ftpId", &CTovaloCtrl::m_ftpId},
    {L"ftpPass", &CTovaloCtrl::m_ftpPass},
    {L"totalSize", +[](CTovaloCtrl& c) { return &c.m_limit.limit32; }},
    {L"uploadPath", &CTovaloCtrl::m_uploadPath},
    {L"retFiles", &CTovaloCtrl::m_retFiles},
    {L"retFilesize", &CTovaloCtrl::m_retFilesize},
    {L"textAttFile", &CTovaloCtrl::m_textAttFile},
    {L"textLimit", &CTovaloCtrl::m_textLimit},
    {L"textDelete", &CTovaloCtrl::m_textDelete},
    // Compatibility: loading fills only the text buffer; the 64-bit limit changes only through the
    // property (pages' params name it without setting a limit).
    {L"totalSizeStr", &CTovaloCtrl::m_totalSizeStr},
    {L"ftpSecure", &CTovaloCtrl::m_ftpSecure},
    {L"ftpCertPin", &CTovaloCtrl::m_ftpCertPin},
    {L"resumeUploads", &CTovaloCtrl::m_resumeUploads},
};

std::vector<fw::PropertyRef> CTovaloCtrl::PersistedProperties() { return fw::Bind<CTovaloCtrl>(kPersisted, *this); }

void CTovaloCtrl::PreCreateWindow(fw::WindowCreate& create) {
    // The control's window is the list view itself, in icon view until the page picks another. It
    // holds no rows: it asks the control for what it shows (owner data), through the notifications
    // that the reflector around it hands back.
    create.className = WC_LISTVIEWW;
    create.style |= WS_BORDER | LVS_OWNERDATA;
    create.reflect = true;
}

LRESULT CTovaloCtrl::OnWindowMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTW*>(lp));
    case WM_DESTROY:
        OnDestroy();
        return DefaultWindowProc(msg, wp, lp);
    case WM_LBUTTONDBLCLK:
        return OnLButtonDblClk(wp, lp);
    case WM_KEYDOWN:
        return OnKeyDown(wp, lp);
    case WM_GETDLGCODE: {
        // Enter opens the focused file, also where a dialog's keyboard handling holds the list.
        const auto* key = reinterpret_cast<const MSG*>(lp);
        const LRESULT code = DefaultWindowProc(msg, wp, lp);
        return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN ? code | DLGC_WANTMESSAGE : code;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        FollowDisplay(true);
        return DefaultWindowProc(msg, wp, lp);
    case WM_PAINT:
    case WM_DISPLAYCHANGE:
    case WM_WINDOWPOSCHANGED:
    case fw::kDpiChangedAfterParent:
        FollowDisplay(false);
        return DefaultWindowProc(msg, wp, lp);
    case WM_TIMER:
        return OnTimer(wp, lp);
    case OCM_COMMAND:
        return 0;
    case OCM_NOTIFY:
        return m_list.Answer(reinterpret_cast<NMHDR*>(lp));
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    case FileDropRegistration::kDropPendingMessage:
        AddDroppedPaths(m_fileDrop.TakePending());
        return 0;
    default:
        return DefaultWindowProc(msg, wp, lp);
    }
}

LRESULT CTovaloCtrl::OnCreate(CREATESTRUCTW* cs) {
    ::InitCommonControls();
    if (DefaultWindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(cs)) == -1) return -1;
    HWND list = Hwnd();
    // A cut name is shown whole, with its path, under the pointer.
    ListView_SetExtendedListViewStyleEx(list, 0,
                                        LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP);

    m_dpi = fw::DpiOf(list);
    LoadSizeIcons();
    m_ilShellSmall = CopyShellImages(SHGFI_SMALLICON);
    ListView_SetImageList(list, m_ilShellSmall.Get(), LVSIL_SMALL);
    m_ilShellLarge = CopyShellImages(0);
    ListView_SetImageList(list, m_ilShellLarge.Get(), LVSIL_NORMAL);
    // Indices into the lists this window had before (the control activated again).
    m_shellIcons.clear();

    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        std::string header = fw::ToAnsi(kColumns[i].header);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = kColumns[i].format;
        column.cx = fw::Scaled(kColumns[i].width, m_dpi);
        column.pszText = header.data();
        ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    SetUpLooks();
    m_list.Attach(list);
    m_fileDrop.Register(list, [this] { return AcceptsDrops(); });
    return 0;
}

void CTovaloCtrl::OnDestroy() {
    // The page is going away during an upload (a closed tab): the session stops at its next block.
    if (m_activeUpload) m_activeUpload->Abandon();
    m_fileDrop.Revoke();
    // The rows and their totals live as long as the window that shows them.
    m_list.Attach(nullptr);
    m_list.Clear();
    m_limit.Clear();
    // The image lists belong to this object, not to the list view: take them back before the
    // list view's own destruction would free them.
    ListView_SetImageList(Hwnd(), nullptr, LVSIL_SMALL);
    ListView_SetImageList(Hwnd(), nullptr, LVSIL_NORMAL);
    fw::ClearAnnotations(Hwnd());
}

void CTovaloCtrl::OnDraw(HDC dc, const RECT& bounds) {
    if (dc) DoSuperclassPaint(dc, bounds);
}

}  // namespace tovalo
