// The control's window after in-place activation in a container: a list view with the control's
// styles, colours, image lists and columns; drawing into a memory DC; deactivation.
#include "tests/win/TestSupport.h"

#include <commctrl.h>

namespace tovalo_test {
namespace {

struct Activated {
    TestContainer container;
    fw::ComPtr<IDispatch> control = CreateControl();
    HWND hwnd = nullptr;

    Activated() {
        EXPECT_EQ(container.Embed(control.Get()), S_OK);
        auto window = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
        if (window) window->GetWindow(&hwnd);
    }
    ~Activated() {
        if (auto ole = control.As<IOleObject>(IID_IOleObject)) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
        }
    }
};

TEST(Window, IsAListViewWithTheControlsLook) {
    Activated a;
    ASSERT_NE(a.hwnd, nullptr);
    // In the container's window, inside the plain window that hands its notifications back to it.
    EXPECT_EQ(::GetParent(::GetParent(a.hwnd)), a.container.Hwnd());
    EXPECT_EQ(a.container.inPlaceActivations, 1);

    RECT r{};
    ::GetWindowRect(a.hwnd, &r);
    ::MapWindowPoints(nullptr, a.container.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, TestContainer::kPosition.left);
    EXPECT_EQ(r.top, TestContainer::kPosition.top);
    EXPECT_EQ(r.right, TestContainer::kPosition.right);
    EXPECT_EQ(r.bottom, TestContainer::kPosition.bottom);

    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(a.hwnd, GWL_STYLE));
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_EQ(style & LVS_TYPEMASK, static_cast<DWORD>(LVS_ICON));
    EXPECT_EQ(style & 0xFFFFu & ~LVS_TYPEMASK, static_cast<DWORD>(LVS_OWNERDATA))
        << "the rows are the control's (the list view asks for them); no other list-view style bits";

    EXPECT_EQ(ListView_GetBkColor(a.hwnd), RGB(255, 255, 255));
    // A cut name shows whole in a tip.
    EXPECT_EQ(ListView_GetExtendedListViewStyle(a.hwnd),
              static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP));
    EXPECT_NE(ListView_GetImageList(a.hwnd, LVSIL_NORMAL), nullptr);
    EXPECT_NE(ListView_GetImageList(a.hwnd, LVSIL_SMALL), nullptr);
    EXPECT_EQ(ListView_GetItemCount(a.hwnd), 0);
}

TEST(Window, FiveColumns) {
    Activated a;
    ASSERT_NE(a.hwnd, nullptr);
    const struct {
        const wchar_t* text;
        int format;
        int width;
    } expected[] = {{L"이름", LVCFMT_LEFT, 220},
                    {L"형식", LVCFMT_LEFT, 150},
                    {L"크기", LVCFMT_RIGHT, 100},
                    {L"", LVCFMT_RIGHT, 0},
                    {L"", LVCFMT_RIGHT, 0}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(::SendMessageW(a.hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(std::wstring(text), expected[i].text);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, expected[i].format);
        EXPECT_EQ(column.cx, expected[i].width);
    }
    // The control's own 8-bit texts are in the system code page, 949: "이름" is C0 CC B8 A7.
    ASSERT_EQ(::GetACP(), 949u) << "the tests run under the Korean locale";
    char ansi[16] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = ansi;
    column.cchTextMax = sizeof ansi;
    ASSERT_TRUE(::SendMessageA(a.hwnd, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(std::string(ansi), "\xC0\xCC\xB8\xA7");

    LVCOLUMNW none{};
    none.mask = LVCF_WIDTH;
    EXPECT_FALSE(::SendMessageW(a.hwnd, LVM_GETCOLUMNW, 5, reinterpret_cast<LPARAM>(&none)));
}

TEST(Window, ParametersArriveBeforeActivation) {
    TestContainer container;
    auto control = CreateControl();
    MemoryBag params;
    params.SetText(L"ftpHost", L"ftp.example.com");
    params.SetText(L"totalSizeStr", L"12345");
    ASSERT_EQ(container.Embed(control.Get(), &params), S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpHost").value, L"ftp.example.com");
    auto ole = control.As<IOleObject>(IID_IOleObject);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

TEST(Window, DrawsIntoAMemoryDc) {
    Activated a;
    ASSERT_NE(a.hwnd, nullptr);
    constexpr int kWidth = 400, kHeight = 200;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    fw::UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(dib);
    fw::UniqueDc dc(::CreateCompatibleDC(nullptr));
    fw::SelectObjectScope select(dc.Get(), dib.Get());
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + kWidth * kHeight, 0x00FF00FFu);  // magenta: untouched

    auto view = a.control.As<IViewObject>(IID_IViewObject);
    ASSERT_TRUE(view);
    const RECTL bounds = {0, 0, kWidth, kHeight};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, nullptr, nullptr, 0),
              S_OK);
    ::GdiFlush();
    const auto at = [&](int x, int y) { return pixels[y * kWidth + x] & 0xFFFFFFu; };
    EXPECT_EQ(at(kWidth / 2, kHeight / 2), 0xFFFFFFu) << "the list's white background";
    EXPECT_NE(at(0, 0), 0xFF00FFu) << "the border is painted";
    EXPECT_NE(at(0, 0), 0xFFFFFFu) << "the border is not background";

    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
}

TEST(Window, CloseDestroysTheWindowAndTellsTheSite) {
    TestContainer container;
    auto control = CreateControl();
    ASSERT_EQ(container.Embed(control.Get()), S_OK);
    HWND hwnd = nullptr;
    control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
    ASSERT_TRUE(::IsWindow(hwnd));
    auto ole = control.As<IOleObject>(IID_IOleObject);
    ASSERT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(container.inPlaceDeactivations, 1);
    HWND none = nullptr;
    EXPECT_EQ(control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&none), E_FAIL);
    // Activating again gives a fresh window.
    RECT pos = TestContainer::kPosition;
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &container, 0, container.Hwnd(), &pos), S_OK);
    control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
    EXPECT_TRUE(::IsWindow(hwnd));
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

TEST(Window, ReleasingAnActiveControlDestroysItsWindow) {
    TestContainer container;
    HWND hwnd = nullptr;
    {
        auto control = CreateControl();
        ASSERT_EQ(container.Embed(control.Get()), S_OK);
        control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
        control.As<IOleObject>(IID_IOleObject)->Close(OLECLOSE_NOSAVE);
        control.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Window, ContainersThatSkipCloseStillLoseTheWindow) {
    TestContainer container;
    HWND hwnd = nullptr;
    {
        auto control = CreateControl();
        ASSERT_EQ(container.Embed(control.Get()), S_OK);
        control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
        control.As<IOleObject>(IID_IOleObject)->SetClientSite(nullptr);
        EXPECT_FALSE(::IsWindow(hwnd));
        EXPECT_EQ(container.inPlaceDeactivations, 1);
        ASSERT_EQ(container.Embed(control.Get()), S_OK);
        control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&hwnd);
        ASSERT_TRUE(::IsWindow(hwnd));
    }
    // Released while active, without Close or a null site: the window goes with the object.
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Window, SetObjectRectsMovesTheWindow) {
    Activated a;
    ASSERT_NE(a.hwnd, nullptr);
    const RECT moved = {5, 6, 105, 56};
    ASSERT_EQ(a.control.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->SetObjectRects(&moved, &moved), S_OK);
    RECT r{};
    ::GetWindowRect(a.hwnd, &r);
    ::MapWindowPoints(nullptr, a.container.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 50);
}

}  // namespace
}  // namespace tovalo_test
