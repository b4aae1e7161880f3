// The host object's dispatch surface as the script engine drives it: binding by name, calls
// with arguments in script order, and every kind of misuse answered without a crash.
#include "tools/pagehost/HostObject.h"

#include "tools/pagehost/MessageLoop.h"
#include "tools/pagehost/PageWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace pagehost {
namespace {

class HostObjectTest : public testing::Test {
protected:
    DISPID bind(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        return m_host->GetIDsOfNames(IID_NULL, names, 1, 0, &id) == S_OK ? id : DISPID_UNKNOWN;
    }

    // Calls a member as a script statement or value would; arguments in script order.
    HRESULT call(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result, EXCEPINFO* error,
                 WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return m_host->Invoke(bind(name), IID_NULL, 0, flags, &params, result, error, nullptr);
    }

    static VARIANT text(const wchar_t* value) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(value);
        return v;
    }

    DialogHook m_dialogs;
    fw::ComPtr<IDispatch> m_host = HostObject::create(HostContext{nullptr, &m_dialogs, L"C:\\pages", nullptr});
};

TEST_F(HostObjectTest, NamesBindExactly) {
    EXPECT_NE(bind(L"echo"), DISPID_UNKNOWN);
    EXPECT_NE(bind(L"pickFiles"), DISPID_UNKNOWN);
    EXPECT_EQ(bind(L"Echo"), DISPID_UNKNOWN);  // script names are case-sensitive
    EXPECT_EQ(bind(L"nothing"), DISPID_UNKNOWN);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"echo")};
    DISPID id = 0;
    EXPECT_EQ(m_host->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(HostObjectTest, ResultsComeBackAsScriptValues) {
    VARIANT result;
    VariantInit(&result);
    VARIANT arg = text(L"files/가.txt");
    ASSERT_EQ(call(L"pagePath", {arg}, &result, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_STREQ(result.bstrVal, L"C:\\pages\\files\\가.txt");
    VariantClear(&result);
    VariantClear(&arg);
}

TEST_F(HostObjectTest, MisuseIsAnErrorWithAMessage) {
    struct Case {
        const wchar_t* member;
        unsigned argCount;
        WORD flags;
        HRESULT result;
        const wchar_t* message;  // for DISP_E_EXCEPTION
    };
    const Case cases[] = {
        {L"cell", 1, DISPATCH_METHOD, DISP_E_EXCEPTION, L"host.cell takes 2 arguments"},
        {L"pickFolder", 2, DISPATCH_METHOD, DISP_E_EXCEPTION, L"host.pickFolder takes 0 to 1 arguments"},
        {L"rowCount", 0, DISPATCH_METHOD, DISP_E_EXCEPTION, L"the page has no control with a list view"},
        {L"answer", 1, DISPATCH_METHOD, DISP_E_EXCEPTION, L"host.answer does not know the button \"x\""},
        {L"echo", 0, DISPATCH_PROPERTYGET, DISP_E_MEMBERNOTFOUND, nullptr},  // members cannot be read...
        {L"echo", 1, DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND, nullptr},  // ...nor assigned
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        std::vector<VARIANT> args(c.argCount);
        for (auto& arg : args) {
            arg = text(L"x");
        }
        EXCEPINFO error{};
        EXPECT_EQ(call(c.member, args, nullptr, &error, c.flags), c.result);
        if (c.message) {
            EXPECT_STREQ(error.bstrDescription, c.message);
        }
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        for (auto& arg : args) {
            VariantClear(&arg);
        }
    }
    DISPPARAMS none{};
    EXPECT_EQ(m_host->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    DISPID named = 7;
    VARIANT arg = text(L"x");
    DISPPARAMS withName{&arg, &named, 1, 1};
    EXPECT_EQ(m_host->Invoke(bind(L"echo"), IID_NULL, 0, DISPATCH_METHOD, &withName, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    VariantClear(&arg);
}

TEST_F(HostObjectTest, ArrangedAnswersReachTheDialogHook) {
    VARIANT no = text(L"NO");
    EXPECT_EQ(call(L"answer", {no}, nullptr, nullptr), S_OK);
    EXPECT_EQ(m_dialogs.answers().messageBoxButton, IDNO);
    VARIANT first = text(L"C:\\d\\a.txt");
    VARIANT second = text(L"C:\\d\\b.txt");
    EXPECT_EQ(call(L"pickFiles", {first, second}, nullptr, nullptr), S_OK);
    ASSERT_TRUE(m_dialogs.answers().fileFolder);
    EXPECT_EQ(*m_dialogs.answers().fileFolder, L"C:\\d");
    EXPECT_EQ(m_dialogs.answers().fileNames, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(call(L"pickFiles", {}, nullptr, nullptr), S_OK);
    EXPECT_FALSE(m_dialogs.answers().fileFolder);
    for (VARIANT* v : {&no, &first, &second}) {
        VariantClear(v);
    }
}

TEST_F(HostObjectTest, AClosedPageRefusesWhatNeedsItsWindowOrList) {
    PageWindow page;
    ASSERT_EQ(page.open(Page{}, L"test", PageZone{L"", false}), L"");
    const HWND frame = page.frame();
    m_host = HostObject::create(HostContext{&page, &m_dialogs, L"C:\\pages", nullptr});
    ASSERT_EQ(call(L"closePage", {}, nullptr, nullptr), S_OK);
    EXPECT_TRUE(page.closed());
    EXPECT_FALSE(IsWindow(frame));
    struct Case {
        const wchar_t* member;
        unsigned argCount;
        const wchar_t* message;  // none: the member still works
    };
    const Case cases[] = {
        {L"rowCount", 0, L"host.rowCount: the page is closed"},
        {L"screenshot", 1, L"host.screenshot: the page is closed"},
        {L"dropFiles", 1, L"host.dropFiles: the page is closed"},
        {L"probeDialog", 0, L"host.probeDialog: the page is closed"},
        {L"closePage", 0, L"host.closePage: the page is closed"},
        {L"echo", 1, nullptr},
        {L"winPath", 1, nullptr},
        {L"pump", 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        std::vector<VARIANT> args(c.argCount);
        for (auto& arg : args) {
            arg = text(L"0");
        }
        EXCEPINFO error{};
        EXPECT_EQ(call(c.member, args, nullptr, &error), c.message ? DISP_E_EXCEPTION : S_OK);
        if (c.message) {
            EXPECT_STREQ(error.bstrDescription, c.message);
        }
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        for (auto& arg : args) {
            VariantClear(&arg);
        }
    }
}

// The host's loops end at a WM_QUIT and leave it for the loops outside them; the run's end takes
// one that is still waiting. The first one seen is the run's.
TEST_F(HostObjectTest, PostedQuitEndsThePumpAndStaysForOuterLoops) {
    const auto quitWaiting = [] {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    };
    VARIANT code{};
    code.vt = VT_I4;
    code.lVal = 3;
    ASSERT_EQ(call(L"postQuit", {code}, nullptr, nullptr), S_OK);
    constexpr DWORD kLongWait = 10 * 1000;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(pumpMessages(kLongWait));
    EXPECT_EQ(quitCode(), 3);
    EXPECT_TRUE(quitWaiting());
    VARIANT wait{};
    wait.vt = VT_I4;
    wait.lVal = kLongWait;
    EXPECT_EQ(call(L"pump", {wait}, nullptr, nullptr), S_OK);
    EXPECT_LT(GetTickCount64() - start, kLongWait);  // neither waited: the thread is quitting
    takeWaitingQuit();
    EXPECT_FALSE(quitWaiting());
    EXPECT_TRUE(pumpMessages(0));
    PostQuitMessage(4);
    takeWaitingQuit();
    EXPECT_EQ(quitCode(), 3);
    EXPECT_FALSE(quitWaiting());
}

}  // namespace
}  // namespace pagehost
