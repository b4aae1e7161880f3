// IObjectSafety: safe for untrusted callers and data on the pages the build admits (this build:
// pages of this machine); options can be confirmed, never cleared; on another page, never safe.
#include "tests/win/TestSupport.h"

#include <objsafe.h>

namespace tovalo_test {
namespace {

constexpr DWORD kCaller = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
constexpr DWORD kData = INTERFACESAFE_FOR_UNTRUSTED_DATA;

struct SetCase {
    const char* label;
    const IID* iid;
    DWORD mask;
    DWORD enabled;
    HRESULT expected;
};

const SetCase kSetCases[] = {
    {"confirm caller safety", &IID_IDispatch, kCaller, kCaller, S_OK},
    {"confirm both", &IID_IDispatch, kCaller | kData, kCaller | kData, S_OK},
    {"confirm data safety for persistence", &IID_IPersistPropertyBag, kData, kData, S_OK},
    {"nothing asked", &IID_IDispatch, 0, 0, S_OK},
    {"enabled bits beyond the mask are ignored", &IID_IDispatch, kCaller, kCaller | kData | 0x10, S_OK},
    {"switch data safety off", &IID_IDispatch, kCaller | kData, kCaller, E_FAIL},
    {"switch caller safety off", &IID_IDispatch, kCaller, 0, E_FAIL},
    {"unknown option bit", &IID_IDispatch, 4, 4, E_FAIL},
    {"unknown option bit beside known ones", &IID_IDispatch, kCaller | 4, kCaller | 4, E_FAIL},
    {"interface the control lacks", &IID_IClassFactory, kCaller, kCaller, E_NOINTERFACE},
};

// The control's safety, asked as a browser asks it: with the page's site set first.
fw::ComPtr<IObjectSafety> Safety(IDispatch* control, TestContainer& page) {
    fw::ComPtr<IDispatch>(control).As<IOleObject>(IID_IOleObject)->SetClientSite(&page);
    return fw::ComPtr<IDispatch>(control).As<IObjectSafety>(IID_IObjectSafety);
}

TEST(ObjectSafety, SetOptions) {
    TestContainer page;  // outlives the control, which holds it as its site
    auto control = CreateControl();
    auto safety = Safety(control.Get(), page);
    ASSERT_TRUE(safety);
    for (const SetCase& c : kSetCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(*c.iid, c.mask, c.enabled), c.expected);
    }
}

// A build with no sites given fails closed: a page of the web, or one that tells no URL, gets
// no safe control.
TEST(ObjectSafety, NeverSafeOnAPageOfTheWeb) {
    for (const wchar_t* url : {L"https://evil.example/page", L"http://localhost.evil.example/", L""}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(url)));
        TestContainer page;
        page.pageUrl = url;
        auto control = CreateControl();
        auto safety = Safety(control.Get(), page);
        ASSERT_TRUE(safety);
        DWORD supported = 0, enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, 0u);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, kCaller, kCaller), E_FAIL);
    }
}

TEST(ObjectSafety, GetOptionsReportsBothBitsEvenForMissingInterfaces) {
    TestContainer page;  // outlives the control, which holds it as its site
    auto control = CreateControl();
    auto safety = Safety(control.Get(), page);
    ASSERT_TRUE(safety);
    const struct {
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {&IID_IDispatch, S_OK},
        {&kDispatchIid, S_OK},
        {&IID_IPersistPropertyBag, S_OK},
        {&IID_IPersistStreamInit, S_OK},
        {&IID_IClassFactory, E_NOINTERFACE},
        {&IID_IOleLink, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        DWORD supported = 0, enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(*c.iid, &supported, &enabled), c.expected);
        EXPECT_EQ(supported, kCaller | kData);
        EXPECT_EQ(enabled, kCaller | kData);
    }
}

TEST(ObjectSafety, SharesTheControlsIdentity) {
    TestContainer page;  // outlives the control, which holds it as its site
    auto control = CreateControl();
    auto safety = Safety(control.Get(), page);
    ASSERT_TRUE(safety);
    fw::ComPtr<IUnknown> a = control.As<IUnknown>(IID_IUnknown);
    fw::ComPtr<IUnknown> b = safety.As<IUnknown>(IID_IUnknown);
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_TRUE(safety.As<IOleObject>(IID_IOleObject));
}

}  // namespace
}  // namespace tovalo_test
