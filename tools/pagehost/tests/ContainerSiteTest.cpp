// The container site as a control sees it: one identity behind every site interface, the window
// context of in-place activation, and the ambient properties of a browser at run time.
#include "tools/pagehost/ContainerSite.h"

#include <gtest/gtest.h>
#include <olectl.h>

namespace pagehost {
namespace {

constexpr RECT kPlace{0, 0, 320, 200};

HWND desktopAsFrame() { return GetDesktopWindow(); }

TEST(ContainerSiteTest, EverySiteInterfaceIsOneObject) {
    const auto site = ContainerSite::create(desktopAsFrame(), kPlace);
    fw::ComPtr<IUnknown> identity;
    ASSERT_EQ(site->clientSite()->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    const IID interfaces[] = {IID_IOleClientSite,      IID_IOleInPlaceSite, IID_IOleWindow, IID_IOleInPlaceFrame,
                              IID_IOleInPlaceUIWindow, IID_IOleControlSite, IID_IDispatch};
    for (const IID& iid : interfaces) {
        fw::ComPtr<IUnknown> object;
        ASSERT_EQ(site->clientSite()->QueryInterface(iid, object.PutVoid()), S_OK);
        fw::ComPtr<IUnknown> itsIdentity;
        object->QueryInterface(IID_IUnknown, itsIdentity.PutVoid());
        EXPECT_EQ(itsIdentity.Get(), identity.Get());
    }
    fw::ComPtr<IUnknown> none;
    EXPECT_EQ(site->clientSite()->QueryInterface(IID_IPersistStream, none.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(none);
}

TEST(ContainerSiteTest, WindowContextGivesFramePlaceAndFrameInfo) {
    const auto site = ContainerSite::create(desktopAsFrame(), kPlace);
    const auto inPlace = fw::ComPtr<IOleClientSite>(site->clientSite()).As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    ASSERT_TRUE(inPlace);
    EXPECT_EQ(inPlace->CanInPlaceActivate(), S_OK);
    fw::ComPtr<IOleInPlaceFrame> frame;
    fw::ComPtr<IOleInPlaceUIWindow> document;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    ASSERT_EQ(inPlace->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info), S_OK);
    EXPECT_TRUE(frame);
    EXPECT_EQ(position.right, 320);
    EXPECT_EQ(clip.bottom, 200);
    EXPECT_EQ(info.hwndFrame, desktopAsFrame());
    HWND window = nullptr;
    EXPECT_EQ(frame->GetWindow(&window), S_OK);
    EXPECT_EQ(window, desktopAsFrame());

    const RECT larger{0, 0, 640, 480};
    EXPECT_EQ(inPlace->OnPosRectChange(&larger), S_OK);
    frame.Reset();
    document.Reset();
    ASSERT_EQ(inPlace->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info), S_OK);
    EXPECT_EQ(position.right, 640);
}

TEST(ContainerSiteTest, AmbientPropertiesOfARunningPage) {
    const auto site = ContainerSite::create(desktopAsFrame(), kPlace);
    const auto ambient = fw::ComPtr<IOleClientSite>(site->clientSite()).As<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(ambient);
    struct Case {
        DISPID id;
        HRESULT result;
        VARTYPE type;
        LONG value;
    };
    const Case cases[] = {
        {DISPID_AMBIENT_USERMODE, S_OK, VT_BOOL, VARIANT_TRUE},
        {DISPID_AMBIENT_UIDEAD, S_OK, VT_BOOL, VARIANT_FALSE},
        {DISPID_AMBIENT_SHOWHATCHING, S_OK, VT_BOOL, VARIANT_FALSE},
        {DISPID_AMBIENT_MESSAGEREFLECT, S_OK, VT_BOOL, VARIANT_FALSE},
        {DISPID_AMBIENT_BACKCOLOR, S_OK, VT_I4, 0xFFFFFF},
        {DISPID_AMBIENT_FONT, DISP_E_MEMBERNOTFOUND, VT_EMPTY, 0},
        {12345, DISP_E_MEMBERNOTFOUND, VT_EMPTY, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        DISPPARAMS none{};
        VARIANT value;
        VariantInit(&value);
        EXPECT_EQ(ambient->Invoke(c.id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr), c.result);
        EXPECT_EQ(value.vt, c.type);
        EXPECT_EQ(c.type == VT_BOOL ? LONG{value.boolVal} : value.lVal, c.value);
    }
    DISPPARAMS none{};
    VARIANT locale;
    VariantInit(&locale);
    ASSERT_EQ(
        ambient->Invoke(DISPID_AMBIENT_LOCALEID, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &locale, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(static_cast<LCID>(locale.lVal), GetUserDefaultLCID());
    EXPECT_EQ(
        ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
}

// The page's URL reaches the control as the display name of the container's moniker.
TEST(ContainerSiteTest, ContainerMonikerNamesThePage) {
    const auto site = ContainerSite::create(desktopAsFrame(), kPlace);
    fw::ComPtr<IMoniker> moniker;
    EXPECT_EQ(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.Put()), E_FAIL);
    EXPECT_FALSE(moniker);

    const wchar_t* const urls[] = {L"https://mail.example.com/compose?to=a", L"file:///Z:/tmp/page.html"};
    for (const wchar_t* url : urls) {
        site->setPageUrl(url);
        ASSERT_EQ(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.Put()), S_OK);
        ASSERT_TRUE(moniker);
        fw::ComPtr<IBindCtx> context;
        ASSERT_EQ(CreateBindCtx(0, context.Put()), S_OK);
        LPOLESTR name = nullptr;
        ASSERT_EQ(moniker->GetDisplayName(context.Get(), nullptr, &name), S_OK);
        EXPECT_STREQ(name, url);
        CoTaskMemFree(name);
        // The control itself has no moniker of its own in the page.
        EXPECT_EQ(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJFULL, moniker.Put()), E_FAIL);
        EXPECT_FALSE(moniker);
    }
    EXPECT_EQ(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, nullptr), E_POINTER);
}

}  // namespace
}  // namespace pagehost
