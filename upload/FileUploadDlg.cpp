// CFileUploadSlg: construction, the session's start and stop, what it shows of the session, and
// the handlers of its buttons, timer and close command.
#include "upload/FileUploadDlg.h"

#include "upload/DialogView.h"
#include "upload/RateMeter.h"
#include "upload/SessionServices.h"
#include "upload/UploadSession.h"

#include "framework/Dpi.h"
#include "res/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace tovalo::upload {
namespace {

constexpr UINT_PTR kSessionTimer = 256;
constexpr UINT kSessionDelayMs = 1000;
// The session's events are waiting (posted by CDialogView).
constexpr UINT kSessionMessage = WM_APP + 0x20;
// The dialog moved to a monitor of another DPI and the dialog manager laid it out anew.
constexpr UINT kRelayoutMessage = WM_APP + 0x21;
// The log keeps this much text at most: what a user reads back of a long session, and a bound on
// what showing it costs the edit control.
constexpr std::size_t kLogLimit = 64 * 1024;
// The shown log catches up this often.
constexpr UINT_PTR kLogTimer = 258;
constexpr UINT kLogEveryMs = 250;
// A rate told this long ago is a rate of nothing: no byte went out for a whole window (a stalled
// link, a wait for the server's reply), and the line says so rather than stand at its last figure.
constexpr ULONGLONG kRateStaleMs = RateMeter::kWindowMicros / 1000;

}  // namespace

CFileUploadSlg::CFileUploadSlg(UploadRequest request, HWND parent)
    : fw::Dialog(IDD_FILE_UPLOAD, parent), m_request(std::move(request)) {
    FollowMonitorDpi();
}

CFileUploadSlg::~CFileUploadSlg() {
    if (m_view) m_view->Detach();
}

UploadOutcome CFileUploadSlg::Outcome() const {
    if (!m_session) return {};
    return m_session->Outcome().value_or(UploadOutcome{});
}

BOOL CFileUploadSlg::OnInitDialog() {
    m_layout.Attach(Hwnd());
    const bool logButtons = m_bShowLogButton != 0;
    ShowItem(IDC_UPLOAD_TOGGLE_LOG, logButtons);
    ShowItem(IDC_UPLOAD_STOP, logButtons);

    m_ctlFileProgress = ::GetDlgItem(Hwnd(), IDC_UPLOAD_FILE);
    m_ctlTotalProgress = ::GetDlgItem(Hwnd(), IDC_UPLOAD_TOTAL);
    ::SendMessageW(m_ctlTotalProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(m_request.files.size()));
    ::SendMessageW(m_ctlTotalProgress, PBM_SETSTEP, 1, 0);
    ::SendMessageW(m_ctlTotalProgress, PBM_SETPOS, 0, 0);
    ::SendDlgItemMessageW(Hwnd(), IDC_UPLOAD_LOG, EM_SETLIMITTEXT, kLogLimit * 2, 0);
    ::SetTimer(Hwnd(), kLogTimer, kLogEveryMs, nullptr);

    m_view = std::make_shared<CDialogView>(Hwnd(), kSessionMessage);
    ::SetTimer(Hwnd(), kSessionTimer, kSessionDelayMs, nullptr);
    m_access.Attach(Hwnd(), m_bLogHidden);
    SetStatus(L"Session Connecting...");
    OnToggleLog();  // the dialog starts with its log folded away
    // The dialog manager gives the focus to the first control of the Tab order that shows: "S"
    // when it does (the log is folded away). When none does, the dialog keeps it itself.
    return m_layout.FocusableShows() ? TRUE : FALSE;
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
    case IDOK:
    case IDCANCEL:
        // Enter and Escape do nothing while the session runs: only "S" and the close question stop it.
        if (Busy()) return true;
        return fw::Dialog::OnCommand(id, code, control);
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
    case kSessionMessage:
        OnSessionEvents();
        *result = 0;
        return true;
    case fw::kDpiChanged:
        // The dialog manager scales the dialog first; what it does not know follows.
        ::PostMessageW(Hwnd(), kRelayoutMessage, 0, 0);
        return false;
    case kRelayoutMessage:
        m_layout.AfterDpiChange();
        *result = 0;
        return true;
    case WM_ACTIVATE:
    case WM_SETFOCUS:
        // With no button to take the focus, the dialog keeps it itself.
        if (!m_layout.KeepsFocus(msg, wp)) return false;
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
    if (id == kLogTimer) {
        ShowLog();
        if (m_rateToldAt != 0 && ::GetTickCount64() - m_rateToldAt >= kRateStaleMs) {
            m_rateToldAt = 0;
            ::SetDlgItemTextW(Hwnd(), IDC_UPLOAD_RATE, RateText(0, 0).c_str());
        }
    }
    if (id != kSessionTimer) return;
    ::KillTimer(Hwnd(), kSessionTimer);
    if (m_goingAway) {
        CloseSelf();  // the page went before the session began
        return;
    }
    StartSession();
}

void CFileUploadSlg::StartSession() {
    auto services = std::make_shared<CSessionServices>();
    m_session = std::make_shared<UploadSession>(m_request, services, m_view);
    // The thread holds the session until it has cleaned up after itself; the dialog may be long
    // gone by then.
    if (!StartModuleThread([session = m_session] { session->Run(); })) {
        m_session.reset();
        UploadOutcome failed;
        failed.connectFailed = true;
        End(failed);
    }
}

bool CFileUploadSlg::StopSession(StopReason reason) {
    if (!Busy() || !m_session->Stop(reason)) return false;
    // Settled by this stop: the session's later events (the end of its cleanup) show nowhere.
    m_view->Detach();
    return true;
}

void CFileUploadSlg::Abandon() {
    m_goingAway = true;
    // The dialog goes with the page's window; nothing is shown of the stop.
    if (StopSession(StopReason::kPageGone)) m_ended = true;
    CloseSelf();
}

// The thread is ending: the session stops as a stopped one, and the dialog goes at once (it does
// not wait for "종료").
void CFileUploadSlg::OnQuit() {
    m_goingAway = true;
    if (StopSession(StopReason::kPageGone)) End(*m_session->Outcome());
}

// Destroyed, maybe from outside (by its owner, the page's window): the session stops as it would
// for "S", and nothing more is shown.
void CFileUploadSlg::OnDestroy() {
    m_access.Detach();
    m_goingAway = true;
    if (StopSession(StopReason::kPageGone)) m_ended = true;
    if (m_view) m_view->Detach();
    m_ctlFileProgress = nullptr;
    m_ctlTotalProgress = nullptr;
}

void CFileUploadSlg::OnSessionEvents() {
    if (!m_view) return;
    ViewBatch batch = m_view->Take();
    for (const ViewEvent& event : batch.events) Show(event);
    if (!batch.log.empty()) AppendLog(batch.log);
}

void CFileUploadSlg::AppendLog(const std::string& lines) {
    m_logText += lines;
    // The log keeps its last kLogLimit bytes or so, from a line's start: the oldest lines go first.
    if (m_logText.size() > kLogLimit) {
        const std::size_t cut = m_logText.find('\n', m_logText.size() - kLogLimit);
        m_logText.erase(0, cut == std::string::npos ? m_logText.size() : cut + 1);
    }
    m_logChanged = true;
}

// The edit control lays its whole text out anew on every change, which costs milliseconds per
// kilobyte under Wine: it is given the log only while it is shown, at most four times a second.
void CFileUploadSlg::ShowLog() {
    if (!m_logChanged || m_bLogHidden) return;
    m_logChanged = false;
    ::SetDlgItemTextA(Hwnd(), IDC_UPLOAD_LOG, m_logText.c_str());
    ::SendDlgItemMessageW(Hwnd(), IDC_UPLOAD_LOG, EM_LINESCROLL, 0, 0x7FFF);  // the newest lines in view
}

void CFileUploadSlg::Show(const ViewEvent& event) {
    switch (event.kind) {
    case ViewEvent::Kind::kStatus:
        SetStatus(event.text);
        break;
    case ViewEvent::Kind::kFileStarted:
        m_rateToldAt = ::GetTickCount64();  // a file that stalls before its first figure is told too
        ::SendMessageW(m_ctlFileProgress, PBM_SETRANGE32, 0, 100);
        ::SendMessageW(m_ctlFileProgress, PBM_SETSTEP, 1, 0);
        ::SendMessageW(m_ctlFileProgress, PBM_SETPOS, 0, 0);
        break;
    case ViewEvent::Kind::kFileProgress:
        ::SendMessageW(m_ctlFileProgress, PBM_SETPOS, static_cast<WPARAM>(event.number), 0);
        break;
    case ViewEvent::Kind::kFileStored:
        ::SendMessageW(m_ctlTotalProgress, PBM_STEPIT, 0, 0);
        break;
    case ViewEvent::Kind::kRate:
        ::SetDlgItemTextW(Hwnd(), IDC_UPLOAD_RATE, event.text.c_str());
        m_rateToldAt = ::GetTickCount64();
        break;
    case ViewEvent::Kind::kEnded:
        if (m_asking) {
            m_endDeferred = true;  // shown once the close question is answered
        } else {
            End(event.outcome);
        }
        break;
    }
}

void CFileUploadSlg::End(const UploadOutcome& outcome) {
    m_access.Ended(outcome, m_request.files.size());
    m_ended = true;
    ShowLog();
    if (outcome.connectFailed) {
        // No file was tried; the dialog stays open until "종료".
        SetStatus(L"Session Connect Error.");
        ShowItem(IDC_UPLOAD_END, true);
        if (m_goingAway) CloseSelf();
        return;
    }
    SetStatus(L"Session Disconnecting.");
    if (outcome.result == 0) ShowItem(IDC_UPLOAD_END, true);
    // Every file stored: the dialog goes. Stopped, failed, or nothing was queued: the log buttons
    // keep it open, unless the page or the thread is going away.
    const bool delivered = outcome.result == 1 && !m_request.files.empty();
    if (delivered || m_bShowLogButton == 0 || m_goingAway) CloseSelf();
}

bool CFileUploadSlg::OnSysCommand(WPARAM command) {
    if ((command & 0xFFF0) != SC_CLOSE) return false;
    if (Busy()) {
        m_asking = true;
        const int answer =
            fw::ShowMessageBox(L"파일을 업로드 중입니다 .전송을 중지하시겠습니까?", MB_YESNO | MB_ICONINFORMATION);
        m_asking = false;
        if (answer == IDYES && Busy()) {
            SetStatus(L"Closing...");
            // The session ends as a stopped one, unless it ended by itself meanwhile.
            if (StopSession(StopReason::kUser)) End(*m_session->Outcome());
        }
        if (m_endDeferred) {
            m_endDeferred = false;
            End(m_session->Outcome().value_or(UploadOutcome{}));
        }
        return true;
    }
    return false;  // the default processing closes the dialog through OnCancel
}

void CFileUploadSlg::OnToggleLog() {
    m_bLogHidden = !m_bLogHidden;
    m_layout.FoldLog(m_bLogHidden);
    m_access.LogFolded(m_bLogHidden);
    ShowLog();
}

void CFileUploadSlg::OnStopTransfer() {
    if (StopSession(StopReason::kUser)) End(*m_session->Outcome());
}

void CFileUploadSlg::OnEndSession() { OnCancel(); }

void CFileUploadSlg::CloseSelf() { OnCancel(); }

void CFileUploadSlg::SetStatus(std::wstring_view text) {
    ::SetDlgItemTextW(Hwnd(), IDC_UPLOAD_STATUS, std::wstring(text).c_str());
    m_access.StatusShown(text);
}

void CFileUploadSlg::ShowItem(int id, bool show) {
    ::ShowWindow(::GetDlgItem(Hwnd(), id), show ? SW_SHOW : SW_HIDE);
    m_layout.Refit();  // the status line clear of the buttons that show, the focus on one of them
}

}  // namespace tovalo::upload
