// The property-bag loader against bags that hand back whatever they like: every type a VARIANT
// can hold by value, failures, and names left out, drawn by a seeded generator. Loading always
// succeeds, and every member stays readable.
#include "tests/win/TestSupport.h"

#include <cmath>
#include <limits>
#include <random>

namespace tovalo_test {
namespace {

class RandomBag final : public fw::ScopedComObject<IPropertyBag> {
public:
    explicit RandomBag(std::uint32_t seed) : random_(seed) {}
    STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

    STDMETHODIMP Read(LPCOLESTR, VARIANT* value, IErrorLog*) override {
        switch (Pick(20)) {
        case 0:
            return E_INVALIDARG;  // not there, output untouched
        case 1:
            return DISP_E_TYPEMISMATCH;  // cannot convert to the type asked for
        case 2:
            return DISP_E_OVERFLOW;
        default:
            break;
        }
        ::VariantClear(value);
        fw::InitWholeVariant(*value);
        switch (Pick(16)) {
        case 0:
            value->vt = VT_EMPTY;
            break;
        case 1:
            value->vt = VT_NULL;
            break;
        case 2:
            value->vt = VT_I2;
            value->iVal = static_cast<SHORT>(random_());
            break;
        case 3:
            value->vt = VT_I4;
            value->lVal = static_cast<LONG>(random_());
            break;
        case 4:
            value->vt = VT_UI4;
            value->ulVal = random_();
            break;
        case 5:
            value->vt = VT_R8;
            value->dblVal = Double();
            break;
        case 6:
            value->vt = VT_BOOL;
            value->boolVal = Pick(2) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case 7:
            value->vt = VT_DATE;
            value->date = Double();
            break;
        case 8:
            value->vt = VT_I8;
            value->llVal = static_cast<LONGLONG>(random_()) << Pick(40);
            break;
        case 9:
            value->vt = VT_ERROR;
            value->scode = static_cast<SCODE>(random_());
            break;
        case 10:
            value->vt = VT_CY;
            value->cyVal.int64 = static_cast<LONGLONG>(random_()) << Pick(32);
            break;
        case 11:
            value->vt = VT_DISPATCH;
            break;  // a null object
        case 12:
            value->vt = VT_BYREF | VT_I4;
            break;  // a null reference
        default:
            value->vt = VT_BSTR;
            value->bstrVal = Text();
            break;
        }
        return S_OK;
    }

private:
    std::uint32_t Pick(std::uint32_t n) { return random_() % n; }
    double Double() {
        const double odd[] = {0.0,
                              -0.0,
                              1e300,
                              -1e300,
                              4294967296.0,
                              -2147483649.0,
                              0.5,
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()};
        return odd[Pick(static_cast<std::uint32_t>(std::size(odd)))];
    }
    BSTR Text() {
        switch (Pick(6)) {
        case 0:
            return nullptr;
        case 1:
            return ::SysAllocString(L"");
        case 2:
            return ::SysAllocString(L"  -12345678901234567890");
        case 3:
            return ::SysAllocString(L"0x7FFFFFFF");
        case 4: {
            std::wstring long_(100000 + Pick(1000), L'가');
            return ::SysAllocStringLen(long_.data(), static_cast<UINT>(long_.size()));
        }
        default: {
            std::wstring text(Pick(64), L'\0');
            for (wchar_t& ch : text) ch = static_cast<wchar_t>(Pick(0x10000));  // lone surrogates too
            return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        }
    }
    std::mt19937 random_;
};

TEST(PropertyBagFuzz, AnyValueLoadsOrIsLeftAlone) {
    const wchar_t* const kProperties[] = {L"ftpHost",     L"ftpPort",    L"ftpId",      L"ftpPass",
                                          L"totalSize",   L"uploadPath", L"retFiles",   L"retFilesize",
                                          L"textAttFile", L"textLimit",  L"textDelete", L"totalSizeStr"};
    constexpr std::uint32_t kLoads = 400;
    for (std::uint32_t seed = 1; seed <= kLoads; ++seed) {
        SCOPED_TRACE(seed);
        auto control = CreateControl();
        RandomBag bag(seed);
        ASSERT_EQ(control.As<IPersistPropertyBag>(IID_IPersistPropertyBag)->Load(&bag, nullptr), S_OK);
        for (const wchar_t* name : kProperties) ASSERT_EQ(Get(control.Get(), name).hr, S_OK);
    }
}

}  // namespace
}  // namespace tovalo_test
