// Verbs and UI activation: hiding and showing again, and the control making itself UI-active
// when it gets the focus or a click, so that the keyboard reaches its list (keys that move, and
// typed names).
#include "tests/win/TestSupport.h"

#include <commctrl.h>

namespace tovalo_test {
namespace {

struct Embedded {
    TestContainer container;
    fw::ComPtr<IDispatch> control = CreateControl();
    fw::ComPtr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
    HWND hwnd = nullptr;

    Embedded() {
        ::ShowWindow(container.Hwnd(), SW_SHOW);
        EXPECT_EQ(container.Embed(control.Get()), S_OK);
        if (auto window = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)) window->GetWindow(&hwnd);
    }
    ~Embedded() {
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    HRESULT Verb(LONG verb) {
        RECT pos = TestContainer::kPosition;
        return ole->DoVerb(verb, nullptr, &container, 0, container.Hwnd(), &pos);
    }
};

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

TEST(Verbs, EveryActivatingVerbShowsAHiddenControl) {
    for (const LONG verb : {OLEIVERB_SHOW, OLEIVERB_PRIMARY, OLEIVERB_INPLACEACTIVATE, OLEIVERB_UIACTIVATE}) {
        SCOPED_TRACE(verb);
        Embedded e;
        ASSERT_NE(e.hwnd, nullptr);
        ASSERT_TRUE(::IsWindowVisible(e.hwnd));
        ASSERT_EQ(e.Verb(OLEIVERB_HIDE), S_OK);
        EXPECT_FALSE(::IsWindowVisible(e.hwnd));
        ASSERT_EQ(e.Verb(verb), S_OK);
        EXPECT_TRUE(::IsWindowVisible(e.hwnd));
        EXPECT_EQ(e.container.inPlaceActivations, 1) << "still the same activation";
    }
}

TEST(Verbs, FocusMakesTheControlUiActive) {
    Embedded e;
    ASSERT_NE(e.hwnd, nullptr);
    EXPECT_EQ(e.container.uiActivations, 0) << "in-place activation alone is not UI activation";
    ::SetFocus(e.hwnd);
    EXPECT_EQ(::GetFocus(), e.hwnd);
    EXPECT_EQ(e.container.uiActivations, 1);
    auto active = e.control.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    EXPECT_EQ(e.container.activeObject, active.Get()) << "the frame is told which object has the keyboard";
    // Focus that comes back later does not activate twice.
    ::SetFocus(e.container.Hwnd());
    ::SetFocus(e.hwnd);
    EXPECT_EQ(e.container.uiActivations, 1);
    // After the container takes UI activation away, the focus brings it back.
    ASSERT_EQ(e.control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->UIDeactivate(), S_OK);
    EXPECT_EQ(e.container.uiDeactivations, 1);
    EXPECT_EQ(e.container.activeObject, nullptr);
    ::SetFocus(e.container.Hwnd());
    ::SetFocus(e.hwnd);
    EXPECT_EQ(e.container.uiActivations, 2);
}

TEST(Verbs, ClickMakesTheControlUiActiveAndTheKeyboardMovesTheSelection) {
    Embedded e;
    ASSERT_NE(e.hwnd, nullptr);
    ::SetFocus(e.container.Hwnd());
    ListView_SetView(e.hwnd, LV_VIEW_DETAILS);
    // Three rows from the top: cherry, banana, apple.
    ASSERT_EQ(Put(e.control.Get(), L"totalSize", Text(L"1000")), S_OK);
    ASSERT_EQ(Put(e.control.Get(), L"getFileShow", Text(L"a|1|apple:b|1|banana:c|1|cherry")), S_OK);
    ASSERT_EQ(ListView_GetItemCount(e.hwnd), 3);
    RECT first{};
    ASSERT_TRUE(ListView_GetItemRect(e.hwnd, 0, &first, LVIR_LABEL));
    const LPARAM at = MAKELPARAM((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    // A click as the system delivers it: mouse activation, then the button.
    ::SendMessageW(e.hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(e.container.Hwnd()),
                   MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    ::PostMessageW(e.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(e.hwnd, WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(e.container.uiActivations, 1);
    EXPECT_EQ(::GetFocus(), e.hwnd);
    EXPECT_EQ(ListView_GetNextItem(e.hwnd, -1, LVNI_SELECTED), 0);
    // A browser offers keys to the UI-active object first and keeps the navigation keys it
    // declines for itself (they scroll the page): the control takes them and moves in its list.
    auto active = e.control.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
    MSG down{e.hwnd, WM_KEYDOWN, VK_DOWN, 0x00500001, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&down), S_OK);
    EXPECT_EQ(ListView_GetNextItem(e.hwnd, -1, LVNI_SELECTED), 1);
    MSG end{e.hwnd, WM_KEYDOWN, VK_END, 0x014F0001, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&end), S_OK);
    EXPECT_EQ(ListView_GetNextItem(e.hwnd, -1, LVNI_SELECTED), 2);
    // Typing a name's first letter selects the next row it starts (case aside), round to the top.
    ::SendMessageW(e.hwnd, WM_CHAR, L'B', 0x00300001);
    EXPECT_EQ(ListView_GetNextItem(e.hwnd, -1, LVNI_SELECTED), 1);
    // Tab and other keys stay with the container (focus moves between its controls).
    MSG tab{e.hwnd, WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&tab), S_FALSE);
    MSG elsewhere{e.container.Hwnd(), WM_KEYDOWN, VK_DOWN, 0x00500001, 0, {}};
    EXPECT_EQ(active->TranslateAccelerator(&elsewhere), S_FALSE);
}

}  // namespace
}  // namespace tovalo_test
