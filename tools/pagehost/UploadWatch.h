// Watches the control's upload dialog (caption "파일 업로드 "): prints UPLOAD OPEN, every change of
// its status line as STATUS <text>, and UPLOAD CLOSED; acts when the status line shows a text the
// page named (stop, log, end, close, or a script function it calls), at once or a given time
// later; keeps the last text of its log; times how long the dialog takes to answer and how long
// it takes to end after "S". Its buttons are otherwise left alone: it works and closes itself.
#pragma once

#include "framework/Raii.h"
#include "tools/pagehost/DialogClock.h"
#include "tools/pagehost/ScriptFailure.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pagehost {

enum class UploadAction { Stop, Log, End, Close, Call };

class UploadWatch {
public:
    UploadWatch() = default;
    UploadWatch(const UploadWatch&) = delete;
    UploadWatch& operator=(const UploadWatch&) = delete;
    ~UploadWatch();

    static bool isUploadDialog(HWND dialog);
    // The action named by a page ("stop", "log", "end", "close"); false for any other name.
    static bool parseAction(const std::wstring& name, UploadAction& action);

    void onOpen(HWND dialog);
    // Any window of the thread about to be destroyed.
    void onDestroy(HWND window);

    // The first time the status line contains text, act: Call invokes the function (a failure in
    // it fails the run). Several may be pending at once; they act in the order arranged. With a
    // delay (not for Call), the click or close command is posted that many milliseconds after
    // the match from a thread of the host's own, whatever else is pending and whether the
    // dialog answers or not, as a user's click reaches it.
    void arrange(const std::wstring& text, UploadAction action, fw::ComPtr<IDispatch> function = {},
                 ScriptFailure* failure = nullptr, DWORD delayMs = 0);
    const std::wstring& log() const { return m_log; }
    // The two bars as the dialog last showed them: "file P, total N of M".
    const std::wstring& bars() const { return m_bars; }
    // The texts the last dialog's rate line showed, in order (the last few thousand).
    const std::vector<std::wstring>& rates() const { return m_rates; }
    // The last dialog's longest wait for an answer to WM_NULL (sent every 20 ms from another
    // thread), in ms, up to now while it runs; -1 before any dialog.
    long longestAnswerMs() const { return m_answers.longestMs(); }
    // The last dialog's time from the click on "S" to its end (its destruction), in ms; -1 while
    // it runs or when "S" was not clicked.
    long stopToEndMs() const { return m_stopToEndMs; }
    // What a screen reader was told of the last dialog's status line: its accessible name when
    // the dialog appeared and at each name-change event since (a name the same as the one before
    // counts once).
    const std::vector<std::wstring>& spoken() const { return m_spoken; }
    // The last dialog's controls as a screen reader meets them (see describeDialog); "" when no
    // upload dialog is open.
    std::wstring controls() const;

private:
    struct Step {
        UploadAction action;
        fw::ComPtr<IDispatch> function;  // Call only
        ScriptFailure* failure;
        DWORD delayMs;  // 0: in order, from the dialog's thread
    };
    struct Arrangement {
        std::wstring text;
        Step step;
    };

    static LRESULT CALLBACK statusProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR self);
    static LRESULT CALLBACK logProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR self);
    static LRESULT CALLBACK rateProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR self);
    static void CALLBACK onDueTimer(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD);
    void listen(bool on);
    void heard(const std::wstring& name);

    void statusChanged(const std::wstring& text);
    void matchArrangements();
    // Carries out what is due, in order; a button that is not shown yet is clicked once it shows.
    // Functions are called only from the timer (fromTimer), never from inside the status
    // control's WM_SETTEXT, and what follows a function waits for it.
    void runDue(bool fromTimer);
    void call(const Step& step);
    void postLate(const Step& step);
    void stopTimer();

    static UploadWatch* s_active;
    static UploadWatch* s_listening;

    HWND m_dialog = nullptr;
    HWND m_status = nullptr;
    HWND m_logWindow = nullptr;
    HWND m_rateWindow = nullptr;
    std::wstring m_lastStatus;
    std::wstring m_log;
    std::wstring m_bars;
    std::vector<std::wstring> m_rates;
    std::vector<std::wstring> m_spoken;
    HWINEVENTHOOK m_eventHook = nullptr;
    std::vector<Arrangement> m_arranged;
    std::vector<Step> m_due;
    UINT_PTR m_timer = 0;
    bool m_calling = false;  // a function runs: a message loop inside it must not run more steps
    AnswerProbe m_answers;
    LatePosts m_late;
    std::atomic<double> m_stopClickedAt{0};  // clockMs() when "S" was clicked, 0 before
    long m_stopToEndMs = -1;
};

}  // namespace pagehost
