// VARIANTs handed to property bags and dispatch callers as older Windows leaves them: VariantInit
// there sets only the type, and a bag that lacks a name leaves its output untouched, so whatever
// the union held before (a number read a moment ago) must never be taken for a string to free.
#include "tests/win/TestSupport.h"

#include "framework/Persist.h"

#include <cstring>
#include <map>

namespace tovalo_test {
namespace {

// Garbage that crashes when freed as a BSTR and is easy to recognise in a dump.
constexpr LONG kGarbage = static_cast<LONG>(0x0BADF00D);

// Bytes 8 to 15 of a VARIANT (the value), as seen by a bag on entry.
bool UnionIsZero(const VARIANT& v) {
    static const unsigned char kZero[sizeof(VARIANT)] = {};
    return std::memcmp(reinterpret_cast<const unsigned char*>(&v) + 8, kZero, sizeof(VARIANT) - 8) == 0;
}

// A bag as the browsers of older Windows behave: a name it lacks fails with the output left
// exactly as it came; a number is written as VT_I4 without touching the rest of the VARIANT.
// It also notes every read whose VARIANT still held a value in its union.
class UntouchingBag final : public fw::ScopedComObject<IPropertyBag> {
public:
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!UnionIsZero(*value)) dirtyReads.emplace_back(name);
        const auto number = numbers.find(name);
        if (number != numbers.end()) {
            value->vt = VT_I4;
            value->lVal = number->second;
            return S_OK;
        }
        return E_INVALIDARG;  // not there: *value untouched
    }
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

    std::map<std::wstring, LONG> numbers;
    std::vector<std::wstring> dirtyReads;
};

// A VARIANT as VariantInit leaves it on Windows 7: the type set, the value whatever it was.
VARIANT Windows7Init(LONG leftOver) {
    VARIANT v;
    std::memset(&v, 0xCD, sizeof v);
    v.vt = VT_EMPTY;
    v.lVal = leftOver;
    return v;
}

TEST(VariantSafety, BagStoreFreesNothingABagLeftUntouched) {
    UntouchingBag bag;
    bag.numbers[L"ftpPort"] = kGarbage;
    fw::BagStore store(&bag, nullptr);
    const struct {
        const char* label;
        const wchar_t* name;
        VARTYPE wanted;
        bool found;
    } rows[] = {
        {"missing text", L"ftpId", VT_BSTR, false},
        {"missing number", L"totalSize", VT_I4, false},
        {"present number", L"ftpPort", VT_I4, true},
        {"present number asked as text", L"ftpPort", VT_BSTR, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        VARIANT v = Windows7Init(kGarbage);
        ASSERT_EQ(store.Read(row.name, row.wanted, v), row.found);
        if (row.found) {
            EXPECT_EQ(v.vt, VT_I4);
            EXPECT_EQ(v.lVal, kGarbage);
        } else {
            EXPECT_EQ(v.vt, VT_EMPTY);
        }
        ::VariantClear(&v);
    }
}

TEST(VariantSafety, NumericReadThenMissingTextInOneVariant) {
    // The sequence of a page's parameters: a number, then a text the page does not give. The
    // VARIANT is reused as Windows 7 reuses a stack slot: cleared (type only), value kept.
    UntouchingBag bag;
    bag.numbers[L"ftpPort"] = kGarbage;
    fw::BagStore store(&bag, nullptr);
    VARIANT v = Windows7Init(0);
    ASSERT_TRUE(store.Read(L"ftpPort", VT_I4, v));
    ASSERT_EQ(v.lVal, kGarbage);
    v.vt = VT_EMPTY;  // VariantClear of a number on Windows 7: the union keeps it
    EXPECT_FALSE(store.Read(L"ftpId", VT_BSTR, v));
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(VariantSafety, ControlLoadsFromABagThatLeavesOutputsUntouched) {
    UntouchingBag bag;
    bag.numbers[L"ftpPort"] = 2121;
    bag.numbers[L"totalSize"] = kGarbage;
    auto control = CreateControl();
    auto load = control.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    ASSERT_TRUE(load);
    ASSERT_EQ(load->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpPort").value, L"2121");
    EXPECT_EQ(Get(control.Get(), L"totalSize").value, std::to_wstring(static_cast<ULONG>(kGarbage)));
    EXPECT_EQ(Get(control.Get(), L"ftpId").value, L"");
    EXPECT_EQ(Get(control.Get(), L"totalSizeStr").value, L"0");
    EXPECT_TRUE(bag.dirtyReads.empty()) << "first read with a value left in its VARIANT: "
                                        << testing::PrintToString(bag.dirtyReads.front());
}

TEST(VariantSafety, InvokeWritesAResultItWasHandedUninitialised) {
    // A result VARIANT the caller never initialised: the control must store into it, not free it.
    auto control = CreateControl();
    const DISPID id = IdOf(control.Get(), L"ftpHost");
    for (const VARTYPE leftOver : {VARTYPE{VT_BSTR}, VARTYPE{VT_DISPATCH}, static_cast<VARTYPE>(VT_BYREF | VT_BSTR)}) {
        SCOPED_TRACE(leftOver);
        VARIANT result = Windows7Init(kGarbage);
        result.vt = leftOver;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ASSERT_EQ(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
        EXPECT_EQ(result.vt, VT_BSTR);
        ::VariantClear(&result);
    }
}

}  // namespace
}  // namespace tovalo_test
