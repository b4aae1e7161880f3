// CFileUploadSlg: construction, start, and the handlers of its buttons, timer and close command.
#include "upload/FileUploadDlg.h"

#include "res/resource.h"

#include <commctrl.h>

#include <utility>

namespace tovalo::upload {
namespace {

constexpr UINT_PTR kSessionTimer = 256;
constexpr UINT kSessionDelayMs = 1000;
// How much the log area adds to the window's height, in pixels.
constexpr int kLogHeight = 124;
// How long a report still connecting may delay the dialog's closing.
constexpr DWORD kReportGraceMs = 2000;

}  // namespace

CFileUploadSlg::CFileUploadSlg(std::string host, std::uint32_t port, std::string userId, std::string password,
                               std::string remotePath, HWND parent)
    : fw::Dialog(IDD_FILE_UPLOAD, parent),
      m_strHost(std::move(host)),
      m_nPort(port),
      m_strUserId(std::move(userId)),
      m_strPassword(std::move(password)),
      m_strRemotePath(std::move(remotePath)) {}

CFileUploadSlg::~CFileUploadSlg() { m_ftpClient.RemoveObserver(&m_notify); }

BOOL CFileUploadSlg::OnInitDialog() {
    const bool logButtons = m_bShowLogButton != 0;
    ShowItem(IDC_UPLOAD_TOGGLE_LOG, logButtons);
    ShowItem(IDC_UPLOAD_STOP, logButtons);

    m_ctlFileProgress = ::GetDlgItem(Hwnd(), IDC_UPLOAD_FILE);
    m_ctlTotalProgress = ::GetDlgItem(Hwnd(), IDC_UPLOAD_TOTAL);
    ::SendMessageW(m_ctlTotalProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(m_arrFiles.size()));
    ::SendMessageW(m_ctlTotalProgress, PBM_SETSTEP, 1, 0);
    ::SendMessageW(m_ctlTotalProgress, PBM_SETPOS, 0, 0);

    m_notify.SetLogWindow(::GetDlgItem(Hwnd(), IDC_UPLOAD_LOG));
    m_notify.SetProgress(m_ctlFileProgress);
    m_ftpClient.AddObserver(&m_notify);

    ::SetTimer(Hwnd(), kSessionTimer, kSessionDelayMs, nullptr);
    SetStatus(L"Session Connecting...");
    OnToggleLog();  // the dialog starts with its log folded away
    return TRUE;
}

bool CFileUploadSlg::OnCommand(WORD id, WORD code, HWND control) {
    switch (id) {
    case IDC_UPLOAD_TOGGLE_LOG:
        OnToggleLog();
        return true;
    case IDC_UPLOAD_STOP:
        OnStopTransfer();
        return true;
    case IDC_UPLOAD_END:
        OnEndSession();
        return true;
    default:
        return fw::Dialog::OnCommand(id, code, control);
    }
}

bool CFileUploadSlg::OnMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR* result) {
    switch (msg) {
    case WM_TIMER:
        OnTimer(wp);
        return false;  // the default handling follows for every timer
    case WM_SYSCOMMAND:
        if (!OnSysCommand(wp)) return false;
        *result = 0;
        return true;
    case WM_DESTROY:
        OnDestroy();
        return false;
    default:
        return false;
    }
}

void CFileUploadSlg::OnTimer(UINT_PTR id) {
    if (id != kSessionTimer) return;
    // Killed first: a timer message dispatched by the session's own pump must not start a second one.
    ::KillTimer(Hwnd(), kSessionTimer);
    if (m_bGoingAway) {
        CloseSelf();  // the page went before the session began
        return;
    }
    RunSession();
}

void CFileUploadSlg::Abandon() {
    m_bGoingAway = true;
    m_stopRequested = true;
}

// Destroyed from outside (its owner, the page's window, is going): the session, which may be
// running below on this very stack, stops at its next step and touches no control of it again.
void CFileUploadSlg::OnDestroy() {
    m_ctlFileProgress = nullptr;
    m_ctlTotalProgress = nullptr;
    m_notify.SetLogWindow(nullptr);
    m_notify.SetProgress(nullptr);
    Abandon();
}

bool CFileUploadSlg::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != SC_CLOSE) return false;
    if (Busy()) {
        const int answer =
            fw::ShowMessageBox(L"파일을 업로드 중입니다 .전송을 중지하시겠습니까?", MB_YESNO | MB_ICONINFORMATION);
        if (answer == IDYES) {
            SetStatus(L"Closing...");
            m_stopRequested = true;  // the session ends as a stopped one
        }
        return true;
    }
    m_notify.Mute(true);
    return false;  // the default processing closes the dialog through OnCancel
}

void CFileUploadSlg::OnToggleLog() {
    RECT rect{};
    ::GetWindowRect(Hwnd(), &rect);
    const int height = rect.bottom - rect.top + (m_bLogHidden ? kLogHeight : -kLogHeight);
    m_bLogHidden = !m_bLogHidden;
    ::MoveWindow(Hwnd(), rect.left, rect.top, rect.right - rect.left, height, TRUE);
}

void CFileUploadSlg::OnStopTransfer() {
    if (Busy()) m_stopRequested = true;
}

void CFileUploadSlg::OnEndSession() {
    m_notify.Mute(true);
    OnCancel();
}

void CFileUploadSlg::CloseSelf() {
    m_notify.Mute(true);
    OnCancel();
}

// Every way the dialog ends passes here (its own closing, "종료", the close command, Escape).
void CFileUploadSlg::OnCancel() {
    // A report made just now still has a moment to go out before its socket dies with the dialog.
    m_errorSocket.Flush(kReportGraceMs);
    fw::Dialog::OnCancel();
}

void CFileUploadSlg::SetStatus(std::wstring_view text) {
    ::SetDlgItemTextW(Hwnd(), IDC_UPLOAD_STATUS, std::wstring(text).c_str());
}

void CFileUploadSlg::ShowItem(int id, bool show) { ::ShowWindow(::GetDlgItem(Hwnd(), id), show ? SW_SHOW : SW_HIDE); }

}  // namespace tovalo::upload
