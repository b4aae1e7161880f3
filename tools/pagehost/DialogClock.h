// The upload dialog as a user's system sees it from outside its thread: how long it takes to answer
// a message (AnswerProbe), and clicks that reach it at a given time whether its thread answers or
// not (LatePosts). Both work from threads of their own, so a dialog whose thread is stuck in a
// network call is measured and clicked as Windows would measure and click it.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace pagehost {

// Milliseconds on the performance counter, for times taken on different threads.
double clockMs();

// Sends a window WM_NULL every 20 ms from a thread of its own (SendMessageTimeout, no abort when
// hung, 30 s at most) and keeps the longest wait for an answer.
class AnswerProbe {
public:
    AnswerProbe() = default;
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    ~AnswerProbe();

    // Starts timing the window (after the previous run's thread has ended).
    void start(HWND window);
    // The window is going; called on its own thread, so it never waits for the probe's thread
    // (which may be waiting for this thread's answer). A wait still unanswered counts up to now.
    void stop();
    // The longest wait so far, in whole milliseconds; -1 before any window was timed.
    long longestMs() const;

private:
    static DWORD WINAPI run(void* self);
    void join();

    HWND m_window = nullptr;
    HANDLE m_thread = nullptr;
    HANDLE m_stop = nullptr;
    mutable std::mutex m_lock;
    bool m_stopped = true;
    double m_sentAt = 0;    // while a WM_NULL waits for its answer
    double m_longest = -1;  // milliseconds
};

// Posts messages to a window later, from threads of their own, as a user's click reaches a window
// whose thread is busy: it is queued at once and seen when the thread next looks.
class LatePosts {
public:
    LatePosts() = default;
    LatePosts(const LatePosts&) = delete;
    LatePosts& operator=(const LatePosts&) = delete;
    ~LatePosts() { cancel(); }

    // After delayMs, and once `shown` (if given) is visible and enabled, stamps clockMs() into
    // *stamp (if given and still 0) and posts the message.
    void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD delayMs, HWND shown,
              std::atomic<double>* stamp);
    // Withdraws every post not made yet and waits for the threads (they only wait and post).
    void cancel();

private:
    struct Job;
    static DWORD WINAPI run(void* job);

    HANDLE m_cancel = nullptr;
    std::vector<HANDLE> m_threads;
};

}  // namespace pagehost
