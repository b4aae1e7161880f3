// The answer probe and the late posts of the upload dialog (see DialogClock.h).
#include "tools/pagehost/DialogClock.h"

#include <algorithm>
#include <memory>

namespace pagehost {
namespace {

constexpr DWORD kProbeIntervalMs = 20;
constexpr UINT kAnswerLimitMs = 30 * 1000;
// The probe's thread ends within one answer limit of stop(); the late posts' at once.
constexpr DWORD kJoinLimitMs = kAnswerLimitMs + 5 * 1000;
constexpr DWORD kShownPollMs = 20;

// Waits for a thread while answering messages that other threads send to this one: the thread
// may be waiting for such an answer. Posted messages stay queued.
void joinAnswering(HANDLE thread, DWORD limitMs) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) {
            return;  // ended, or out of time
        }
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

double clockMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

AnswerProbe::~AnswerProbe() {
    stop();
    join();
    if (m_stop) {
        CloseHandle(m_stop);
    }
}

void AnswerProbe::start(HWND window) {
    stop();
    join();
    if (!m_stop && !(m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
        return;
    }
    ResetEvent(m_stop);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_window = window;
        m_stopped = false;
        m_sentAt = 0;
        m_longest = 0;
    }
    m_thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

void AnswerProbe::stop() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_stopped) {
            return;
        }
        m_stopped = true;
        if (m_sentAt > 0) {
            m_longest = std::max(m_longest, clockMs() - m_sentAt);
        }
    }
    SetEvent(m_stop);
}

long AnswerProbe::longestMs() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_longest < 0 ? -1 : static_cast<long>(m_longest + 0.5);
}

void AnswerProbe::join() {
    if (m_thread) {
        joinAnswering(m_thread, kJoinLimitMs);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

DWORD WINAPI AnswerProbe::run(void* self) {
    auto* probe = static_cast<AnswerProbe*>(self);
    while (WaitForSingleObject(probe->m_stop, kProbeIntervalMs) == WAIT_TIMEOUT) {
        const double sentAt = clockMs();
        {
            std::lock_guard<std::mutex> hold(probe->m_lock);
            if (probe->m_stopped) {
                break;
            }
            probe->m_sentAt = sentAt;
        }
        // Not SMTO_ABORTIFHUNG: a hung window is exactly what is measured. A window gone fails at
        // once; stop() has then cut the wait short already.
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(probe->m_window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &answer);
        const double answeredAt = clockMs();
        std::lock_guard<std::mutex> hold(probe->m_lock);
        if (!probe->m_stopped) {
            probe->m_longest = std::max(probe->m_longest, answeredAt - sentAt);
        }
        probe->m_sentAt = 0;
    }
    return 0;
}

struct LatePosts::Job {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD delayMs;
    HWND shown;
    std::atomic<double>* stamp;
    HANDLE cancel;
};

void LatePosts::post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD delayMs, HWND shown,
                     std::atomic<double>* stamp) {
    if (!m_cancel && !(m_cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
        return;
    }
    auto job = std::make_unique<Job>(Job{window, message, wParam, lParam, delayMs, shown, stamp, m_cancel});
    if (const HANDLE thread = CreateThread(nullptr, 0, run, job.get(), 0, nullptr)) {
        job.release();  // the thread's now
        m_threads.push_back(thread);
    }
}

void LatePosts::cancel() {
    if (!m_cancel) {
        return;
    }
    SetEvent(m_cancel);
    for (const HANDLE thread : m_threads) {
        WaitForSingleObject(thread, kJoinLimitMs);
        CloseHandle(thread);
    }
    m_threads.clear();
    ResetEvent(m_cancel);
}

DWORD WINAPI LatePosts::run(void* given) {
    const std::unique_ptr<Job> job(static_cast<Job*>(given));
    if (WaitForSingleObject(job->cancel, job->delayMs) != WAIT_TIMEOUT) {
        return 0;
    }
    // Reading a window's styles sends it nothing: this works while its thread is stuck.
    while (job->shown && !(IsWindowVisible(job->shown) && IsWindowEnabled(job->shown))) {
        if (WaitForSingleObject(job->cancel, kShownPollMs) != WAIT_TIMEOUT) {
            return 0;
        }
    }
    if (job->stamp) {
        double none = 0;
        job->stamp->compare_exchange_strong(none, clockMs());
    }
    PostMessageW(job->window, job->message, job->wParam, job->lParam);
    return 0;
}

}  // namespace pagehost
