// The params' property bag: what a control reads for each name and requested type.
#include "tools/pagehost/PropertyBag.h"

#include <gtest/gtest.h>

namespace pagehost {
namespace {

TEST(PropertyBagTest, ReadsByNameAndRequestedType) {
    const auto bag = PropertyBag::create({{L"ftpHost", L"127.0.0.1"},
                                          {L"ftpPort", L"2121"},
                                          {L"ftpId", L"메일사용자"},
                                          {L"totalSize", L"abc"},
                                          {L"ftpPort", L"21"}});
    struct Case {
        const wchar_t* name;
        VARTYPE asked;
        HRESULT result;
        VARTYPE got;
        const wchar_t* text;  // for VT_BSTR
        LONG number;          // for VT_I4
    };
    const Case cases[] = {
        {L"ftpHost", VT_EMPTY, S_OK, VT_BSTR, L"127.0.0.1", 0},
        {L"FTPHOST", VT_BSTR, S_OK, VT_BSTR, L"127.0.0.1", 0},  // names match without regard to case
        {L"ftpId", VT_EMPTY, S_OK, VT_BSTR, L"메일사용자", 0},
        {L"ftpPort", VT_I4, S_OK, VT_I4, nullptr, 2121},  // the first of two params wins
        {L"totalSize", VT_I4, DISP_E_TYPEMISMATCH, VT_EMPTY, nullptr, 0},
        {L"uploadPath", VT_EMPTY, E_INVALIDARG, VT_EMPTY, nullptr, 0},  // absent: the member keeps its value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " as type " << c.asked);
        VARIANT value;
        VariantInit(&value);
        value.vt = c.asked;
        EXPECT_EQ(bag->Read(c.name, &value, nullptr), c.result);
        EXPECT_EQ(value.vt, c.got);
        if (c.got == VT_BSTR) {
            EXPECT_STREQ(value.bstrVal, c.text);
        } else if (c.got == VT_I4) {
            EXPECT_EQ(value.lVal, c.number);
        }
        VariantClear(&value);
    }
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(bag->Write(L"ftpHost", &value), E_NOTIMPL);
    EXPECT_EQ(bag->Read(nullptr, &value, nullptr), E_POINTER);
}

}  // namespace
}  // namespace pagehost
