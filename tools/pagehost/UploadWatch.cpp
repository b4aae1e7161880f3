// Watches the control's upload dialog: its opening and closing, its status line, its log, and
// the actions a page arranged for given status texts.
#include "tools/pagehost/UploadWatch.h"

#include "tools/pagehost/Accessibility.h"
#include "tools/pagehost/Output.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

namespace pagehost {
namespace {

constexpr wchar_t kCaption[] = L"파일 업로드 ";
constexpr int kStatusId = 202;
constexpr int kLogId = 204;
constexpr int kFileBarId = 203;
constexpr int kTotalBarId = 201;
constexpr int kRateId = 208;
// The rate line's texts kept for a page: enough for minutes of changes four times a second.
constexpr size_t kRatesKept = 4096;
constexpr UINT_PTR kSubclassId = 0x7A1;
constexpr UINT kDueCheckMs = 50;

struct ActionName {
    const wchar_t* name;
    UploadAction action;
    const wchar_t* button;  // the label clicked; none for the close command
};
constexpr ActionName kActions[] = {
    {L"stop", UploadAction::Stop, L"S"},
    {L"log", UploadAction::Log, L"L"},
    {L"end", UploadAction::End, L"종료"},
    {L"close", UploadAction::Close, nullptr},
};

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

const ActionName& describe(UploadAction action) {
    return *std::find_if(std::begin(kActions), std::end(kActions),
                         [action](const ActionName& a) { return a.action == action; });
}

HWND findButton(HWND dialog, const wchar_t* label) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, WC_BUTTONW) == 0 && windowText(child) == label) {
            return child;
        }
    }
    return nullptr;
}

std::wstring barsText(HWND dialog) {
    const auto position = [dialog](int id) {
        return std::to_wstring(SendMessageW(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0));
    };
    const LRESULT totalEnd = SendMessageW(GetDlgItem(dialog, kTotalBarId), PBM_GETRANGE, FALSE, 0);
    return L"file " + position(kFileBarId) + L", total " + position(kTotalBarId) + L" of " + std::to_wstring(totalEnd);
}

}  // namespace

UploadWatch* UploadWatch::s_active = nullptr;
UploadWatch* UploadWatch::s_listening = nullptr;

UploadWatch::~UploadWatch() {
    stopTimer();
    listen(false);
    if (m_status) {
        RemoveWindowSubclass(m_status, statusProc, kSubclassId);
    }
    if (m_logWindow) {
        RemoveWindowSubclass(m_logWindow, logProc, kSubclassId);
    }
    if (m_rateWindow) {
        RemoveWindowSubclass(m_rateWindow, rateProc, kSubclassId);
    }
}

bool UploadWatch::isUploadDialog(HWND dialog) { return windowText(dialog) == kCaption; }

bool UploadWatch::parseAction(const std::wstring& name, UploadAction& action) {
    for (const auto& known : kActions) {
        if (name == known.name) {
            action = known.action;
            return true;
        }
    }
    return false;
}

void UploadWatch::onOpen(HWND dialog) {
    m_dialog = dialog;
    m_log.clear();
    m_bars.clear();
    m_rates.clear();
    m_spoken.clear();
    m_lastStatus.clear();
    m_late.cancel();
    m_stopClickedAt = 0;
    m_stopToEndMs = -1;
    m_answers.start(dialog);
    printLine(L"UPLOAD OPEN");
    m_status = GetDlgItem(dialog, kStatusId);
    m_logWindow = GetDlgItem(dialog, kLogId);
    if (m_status) {
        SetWindowSubclass(m_status, statusProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        statusChanged(windowText(m_status));
        heard(spokenText(m_status).name);
        listen(true);
    }
    if (m_logWindow) {
        SetWindowSubclass(m_logWindow, logProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        m_log = windowText(m_logWindow);
    }
    m_rateWindow = GetDlgItem(dialog, kRateId);
    if (m_rateWindow) {
        SetWindowSubclass(m_rateWindow, rateProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
}

void UploadWatch::onDestroy(HWND window) {
    if (window == m_status) {
        listen(false);
        RemoveWindowSubclass(m_status, statusProc, kSubclassId);
        m_status = nullptr;
    } else if (window == m_rateWindow) {
        RemoveWindowSubclass(m_rateWindow, rateProc, kSubclassId);
        m_rateWindow = nullptr;
    } else if (window == m_logWindow) {
        m_log = windowText(m_logWindow);
        RemoveWindowSubclass(m_logWindow, logProc, kSubclassId);
        m_logWindow = nullptr;
    } else if (window == m_dialog) {
        m_answers.stop();
        m_late.cancel();
        if (const double clickedAt = m_stopClickedAt; clickedAt > 0) {
            m_stopToEndMs = static_cast<long>(clockMs() - clickedAt + 0.5);
        }
        m_bars = barsText(window);
        if (m_logWindow) {
            m_log = windowText(m_logWindow);
        }
        m_dialog = nullptr;
        m_due.clear();
        stopTimer();
        printLine(L"UPLOAD CLOSED");
    }
}

void UploadWatch::arrange(const std::wstring& text, UploadAction action, fw::ComPtr<IDispatch> function,
                          ScriptFailure* failure, DWORD delayMs) {
    m_arranged.push_back({text, {action, std::move(function), failure, delayMs}});
    if (m_dialog) {
        matchArrangements();  // the status line may show it already
        runDue(false);
    }
}

LRESULT CALLBACK UploadWatch::statusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SETTEXT) {
        reinterpret_cast<UploadWatch*>(self)->statusChanged(windowText(window));
    }
    return result;
}

LRESULT CALLBACK UploadWatch::logProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR self) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SETTEXT) {
        reinterpret_cast<UploadWatch*>(self)->m_log = windowText(window);
    }
    return result;
}

LRESULT CALLBACK UploadWatch::rateProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SETTEXT) {
        std::vector<std::wstring>& rates = reinterpret_cast<UploadWatch*>(self)->m_rates;
        if (rates.size() == kRatesKept) rates.erase(rates.begin());
        rates.push_back(windowText(window));
    }
    return result;
}

void UploadWatch::statusChanged(const std::wstring& text) {
    if (text == m_lastStatus) {
        return;
    }
    m_lastStatus = text;
    printLine(L"STATUS " + text);
    matchArrangements();
    runDue(false);
}

void UploadWatch::matchArrangements() {
    for (auto it = m_arranged.begin(); it != m_arranged.end();) {
        if (m_lastStatus.find(it->text) != std::wstring::npos) {
            if (it->step.delayMs > 0) {
                postLate(it->step);
            } else {
                m_due.push_back(std::move(it->step));
            }
            it = m_arranged.erase(it);
        } else {
            ++it;
        }
    }
}

void UploadWatch::runDue(bool fromTimer) {
    // Everything is posted: the dialog sees it when it next dispatches a message (between two
    // blocks of a file, or in its own message loop), as it would see a user's click.
    for (auto it = m_due.begin(); it != m_due.end() && !m_calling;) {
        if (it->action == UploadAction::Call) {
            if (!fromTimer) {
                break;
            }
            const Step step = std::move(*it);
            m_due.erase(it);
            call(step);
            if (!m_dialog) {
                return;
            }
            it = m_due.begin();  // the function may have arranged more
            continue;
        }
        const ActionName& what = describe(it->action);
        if (!what.button) {
            PostMessageW(m_dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            it = m_due.erase(it);
            continue;
        }
        const HWND button = findButton(m_dialog, what.button);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button)) {
            if (it->action == UploadAction::Stop) {
                double none = 0;
                m_stopClickedAt.compare_exchange_strong(none, clockMs());
            }
            PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            it = m_due.erase(it);
        } else {
            ++it;
        }
    }
    if (m_due.empty()) {
        stopTimer();
    } else if (!m_timer) {
        s_active = this;
        m_timer = SetTimer(nullptr, 0, kDueCheckMs, onDueTimer);
    }
}

void UploadWatch::postLate(const Step& step) {
    const ActionName& what = describe(step.action);
    if (!what.button) {
        m_late.post(m_dialog, WM_SYSCOMMAND, SC_CLOSE, 0, step.delayMs, nullptr, nullptr);
    } else if (const HWND button = findButton(m_dialog, what.button)) {
        // Found here: reading its label from another thread would wait for the dialog's answer.
        m_late.post(m_dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                    reinterpret_cast<LPARAM>(button), step.delayMs, button,
                    step.action == UploadAction::Stop ? &m_stopClickedAt : nullptr);
    }
}

void UploadWatch::call(const Step& step) {
    if (!step.function || (step.failure && step.failure->failed())) {
        return;
    }
    m_calling = true;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    const HRESULT hr =
        step.function->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
    m_calling = false;
    if (FAILED(hr) && step.failure) {
        // The engine has reported an error inside the function through the page's site already
        // (SCRIPT_E_REPORTED); anything else is told here. Either way the run has failed.
        std::wstring message = exception.bstrDescription
                                   ? std::wstring(exception.bstrDescription, SysStringLen(exception.bstrDescription))
                                   : std::wstring();
        if (message.empty()) {
            wchar_t code[16];
            std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
            message = code;
        }
        step.failure->fail(L"the function given to host.onStatus failed: " + message);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

void CALLBACK UploadWatch::onDueTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (s_active && s_active->m_dialog) {
        s_active->runDue(true);
    }
}

std::wstring UploadWatch::controls() const { return m_dialog ? describeDialog(m_dialog) : std::wstring(); }

// In the dialog's thread and at once (in context), so that the name is read as it was told, not
// after later changes.
void UploadWatch::listen(bool on) {
    if (m_eventHook) {
        UnhookWinEvent(std::exchange(m_eventHook, nullptr));
        s_listening = nullptr;
    }
    if (on) {
        s_listening = this;
        m_eventHook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, GetModuleHandleW(nullptr),
                                      onWinEvent, GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_INCONTEXT);
    }
}

void CALLBACK UploadWatch::onWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    UploadWatch* watch = s_listening;
    if (watch && event == EVENT_OBJECT_NAMECHANGE && window && window == watch->m_status && object == OBJID_CLIENT &&
        child == CHILDID_SELF) {
        watch->heard(spokenText(window).name);
    }
}

void UploadWatch::heard(const std::wstring& name) {
    if (m_spoken.empty() || m_spoken.back() != name) {
        m_spoken.push_back(name);
    }
}

void UploadWatch::stopTimer() {
    if (m_timer) {
        KillTimer(nullptr, std::exchange(m_timer, 0));
    }
}

}  // namespace pagehost
