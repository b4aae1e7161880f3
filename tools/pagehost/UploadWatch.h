// Watches the control's upload dialog (caption "파일 업로드 "): prints UPLOAD OPEN, every change of
// its status line as STATUS <text>, and UPLOAD CLOSED; acts when the status line shows a text the
// page named (stop, log, end, close); keeps the last text of its log. Its buttons are otherwise
// left alone: it works and closes itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pagehost {

enum class UploadAction { Stop, Log, End, Close };

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

    // The first time the status line contains text, act. Several may be pending at once.
    void arrange(const std::wstring& text, UploadAction action);
    const std::wstring& log() const { return m_log; }
    // The two bars as the dialog last showed them: "file P, total N of M".
    const std::wstring& bars() const { return m_bars; }

private:
    struct Arrangement {
        std::wstring text;
        UploadAction action;
    };

    static LRESULT CALLBACK statusProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR self);
    static LRESULT CALLBACK logProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR self);
    static void CALLBACK onDueTimer(HWND, UINT, UINT_PTR, DWORD);

    void statusChanged(const std::wstring& text);
    void matchArrangements();
    // Carries out what is due; a button that is not shown yet is clicked once it shows.
    void runDue();
    void stopTimer();

    static UploadWatch* s_active;

    HWND m_dialog = nullptr;
    HWND m_status = nullptr;
    HWND m_logWindow = nullptr;
    std::wstring m_lastStatus;
    std::wstring m_log;
    std::wstring m_bars;
    std::vector<Arrangement> m_arranged;
    std::vector<UploadAction> m_due;
    UINT_PTR m_timer = 0;
};

}  // namespace pagehost
