// The dialog clock against a real window of this thread: a thread that does not look at its
// messages is measured as not answering for that long, and a late post reaches it while it does
// not look, stamped when it was made.
#include "tools/pagehost/DialogClock.h"

#include <gtest/gtest.h>

namespace pagehost {
namespace {

constexpr UINT kClick = WM_APP + 7;

// Looks at the thread's messages for ms milliseconds, as a dialog's loop would; true when kClick came.
bool look(DWORD ms) {
    bool clicked = false;
    const double end = clockMs() + ms;
    while (clockMs() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            clicked |= message.message == kClick;
            DispatchMessageW(&message);
        }
        Sleep(1);
    }
    return clicked;
}

TEST(DialogClockTest, ABusyThreadIsTimedAndClickedFromOutside) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    AnswerProbe probe;
    EXPECT_EQ(probe.longestMs(), -1);
    probe.start(window);
    EXPECT_FALSE(look(200));
    EXPECT_LT(probe.longestMs(), 150);  // answered while it looked

    LatePosts late;
    std::atomic<double> clickedAt{0};
    const double busyFrom = clockMs();
    late.post(window, kClick, 0, 0, 50, window, &clickedAt);  // hidden: waits until it shows
    late.post(window, kClick, 0, 0, 5000, nullptr, nullptr);  // withdrawn below
    // Busy: neither the probe's WM_NULL nor the click is seen.
    Sleep(150);
    ShowWindow(window, SW_SHOWNA);
    Sleep(250);
    EXPECT_NEAR(clickedAt.load() - busyFrom, 160, 50);
    EXPECT_TRUE(look(100));
    late.cancel();
    EXPECT_FALSE(look(100));
    probe.stop();
    EXPECT_GE(probe.longestMs(), 360);
    EXPECT_LT(probe.longestMs(), 1000);
    DestroyWindow(window);
}

}  // namespace
}  // namespace pagehost
