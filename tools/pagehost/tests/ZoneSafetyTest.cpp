// The safety questions of the Internet zone, asked of controls that answer them in every way.
#include "tools/pagehost/ZoneSafety.h"

#include "framework/ComObject.h"

#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>

namespace pagehost {
namespace {

constexpr DWORD kCaller = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
constexpr DWORD kData = INTERFACESAFE_FOR_UNTRUSTED_DATA;

// A control's IObjectSafety with arranged answers; it records what it was asked to switch on.
class ArrangedSafety final : public fw::ScopedComObject<IObjectSafety> {
public:
    HRESULT getResult = S_OK;
    DWORD supported = kCaller | kData;
    HRESULT setResult = S_OK;
    IID askedFor = IID_NULL;
    DWORD askedMask = 0;
    DWORD askedEnabled = 0;

    STDMETHODIMP GetInterfaceSafetyOptions(REFIID, DWORD* itsSupported, DWORD* enabled) override {
        *itsSupported = supported;
        *enabled = 0;
        return getResult;
    }
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override {
        askedFor = iid;
        askedMask = mask;
        askedEnabled = enabled;
        return setResult;
    }
};

// An object without IObjectSafety.
class Plain final : public fw::ScopedComObject<IUnknown> {};

TEST(ZoneSafetyTest, AControlIsSafeOnlyWhenItOffersAndAcceptsTheOption) {
    struct Case {
        const char* label;
        HRESULT getResult;
        DWORD supported;
        HRESULT setResult;
        bool forInitialisation;
        bool forScripting;
    };
    const Case cases[] = {
        {"safe for both", S_OK, kCaller | kData, S_OK, true, true},
        {"offers data safety only", S_OK, kData, S_OK, true, false},
        {"offers caller safety only", S_OK, kCaller, S_OK, false, true},
        {"offers nothing", S_OK, 0, S_OK, false, false},
        {"refuses to switch the option on", S_OK, kCaller | kData, E_FAIL, false, false},
        {"lacks the interface asked about", E_NOINTERFACE, kCaller | kData, S_OK, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ArrangedSafety control;
        control.getResult = c.getResult;
        control.supported = c.supported;
        control.setResult = c.setResult;
        EXPECT_EQ(safeForInitialisation(&control, IID_IPersistPropertyBag), c.forInitialisation);
        EXPECT_EQ(safeForScripting(&control), c.forScripting);
    }
}

TEST(ZoneSafetyTest, TheQuestionNamesTheInterfaceAndOneOption) {
    ArrangedSafety control;
    ASSERT_TRUE(safeForInitialisation(&control, IID_IPersistStreamInit));
    EXPECT_EQ(control.askedFor, IID_IPersistStreamInit);
    EXPECT_EQ(control.askedMask, kData);
    EXPECT_EQ(control.askedEnabled, kData);
    ASSERT_TRUE(safeForScripting(&control));
    EXPECT_EQ(control.askedFor, IID_IDispatch);
    EXPECT_EQ(control.askedMask, kCaller);
    EXPECT_EQ(control.askedEnabled, kCaller);
}

TEST(ZoneSafetyTest, AControlWithoutObjectSafetyIsNotSafe) {
    Plain control;
    EXPECT_FALSE(safeForInitialisation(&control, IID_IPersistPropertyBag));
    EXPECT_FALSE(safeForScripting(&control));
    EXPECT_FALSE(safeForScripting(nullptr));
}

}  // namespace
}  // namespace pagehost
