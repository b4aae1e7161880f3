// CFileUploadSlg: the modal upload dialog (resource 209). One second after it shows, it starts
// the upload session on a thread of its own and shows what the session tells it: a status line,
// two bars, the rate, the transfer log. It is a view: it holds no socket and waits on nothing (the
// session's services send the error reports); its own thread only runs the modal loop, paints and
// takes clicks. A stop ("S", the close question, the page going away) settles the outcome at
// once. The control reads the outcome back.
#pragma once

#include "framework/Dialog.h"
#include "upload/DialogAccessibility.h"
#include "upload/DialogLayout.h"
#include "upload/UploadTypes.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tovalo::upload {

class CDialogView;
class UploadSession;

class CFileUploadSlg final : public fw::Dialog {
public:
    // The session's thread may outlive the dialog to finish its cleanup after a stop.
    explicit CFileUploadSlg(UploadRequest request, HWND parent = nullptr);
    ~CFileUploadSlg() override;

    INT_PTR DoModal() { return RunModal(); }

    // The page that started the upload is going away (the control's window is being destroyed):
    // the session stops as after "S", and the dialog goes.
    void Abandon();

    // Non-zero shows "L" and "S" and keeps the dialog open after a stopped, failed or empty session.
    std::uint32_t m_bShowLogButton = 0;

    // The session's outcome (result 0 when it never ran).
    UploadOutcome Outcome() const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    void OnQuit() override;

private:
    void OnTimer(UINT_PTR id);
    bool OnSysCommand(WPARAM command);
    void OnToggleLog();
    void OnStopTransfer();
    void OnEndSession();
    void OnDestroy();
    // The session's events, in the order it said them.
    void OnSessionEvents();
    void Show(const struct ViewEvent& event);
    void AppendLog(const std::string& lines);
    void ShowLog();

    void StartSession();
    // Stops the session; true when the stop settled its outcome (it had not ended by itself).
    bool StopSession(StopReason reason);
    // The outcome settled: what the dialog shows and whether it goes.
    void End(const UploadOutcome& outcome);
    // Whether a stop still changes anything: the session runs and its outcome is not settled.
    bool Busy() const { return m_session != nullptr && !m_ended; }

    void CloseSelf();
    void SetStatus(std::wstring_view text);
    void ShowItem(int id, bool show);

    UploadRequest m_request;
    std::shared_ptr<CDialogView> m_view;
    std::shared_ptr<UploadSession> m_session;
    bool m_ended = false;        // the outcome is settled and shown
    bool m_goingAway = false;    // the page or the thread is going: no waiting for "종료"
    bool m_asking = false;       // the close question is on screen
    bool m_endDeferred = false;  // the session ended while the question was asked
    bool m_bLogHidden = false;
    std::string m_logText;  // the log, shown in control 204 while it is unfolded
    bool m_logChanged = false;
    ULONGLONG m_rateToldAt = 0;         // when a figure or a file last came; 0: the line shows the stillness
    HWND m_ctlFileProgress = nullptr;   // 203: the current file, 0 to 100
    HWND m_ctlTotalProgress = nullptr;  // 201: the whole queue, one step per file
    DialogLayout m_layout;
    DialogAccessibility m_access;
};

}  // namespace tovalo::upload
