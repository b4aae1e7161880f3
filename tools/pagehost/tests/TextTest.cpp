// How script values print, and UTF-8 round trips of Korean text.
#include "tools/pagehost/Text.h"

#include <gtest/gtest.h>

namespace pagehost {
namespace {

TEST(TextTest, ScriptValues) {
    struct Case {
        VARTYPE type;
        double number;  // for numeric types
        const wchar_t* printed;
    };
    const Case cases[] = {
        {VT_EMPTY, 0, L"undefined"},
        {VT_NULL, 0, L"null"},
        {VT_I4, -42, L"-42"},
        {VT_UI4, 4000000007.0, L"4000000007"},
        {VT_R8, 1.5, L"1.5"},
        {VT_R8, 3.0, L"3"},
        {VT_R8, 0.1, L"0.1"},
        {VT_R8, 1.0 / 3, L"0.3333333333333333"},
        {VT_R8, 5368709120.0, L"5368709120"},
        {VT_I2, 7, L"7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        VARIANT value;
        VariantInit(&value);
        value.vt = c.type;
        switch (c.type) {
        case VT_I4:
            value.lVal = static_cast<LONG>(c.number);
            break;
        case VT_UI4:
            value.ulVal = static_cast<ULONG>(c.number);
            break;
        case VT_I2:
            value.iVal = static_cast<SHORT>(c.number);
            break;
        case VT_R8:
            value.dblVal = c.number;
            break;
        default:
            break;
        }
        EXPECT_EQ(scriptValueText(value), c.printed);
    }
}

TEST(TextTest, BooleansAndTexts) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    EXPECT_EQ(scriptValueText(value), L"true");
    value.boolVal = VARIANT_FALSE;
    EXPECT_EQ(scriptValueText(value), L"false");
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"모든 파일 (*.*)|*.*|");
    EXPECT_EQ(scriptValueText(value), L"모든 파일 (*.*)|*.*|");
    VariantClear(&value);
}

TEST(TextTest, Utf8RoundTrip) {
    const std::wstring korean = L"파일 업로드 \U0001F600";
    const std::string bytes = toUtf8(korean);
    EXPECT_EQ(bytes, "\xED\x8C\x8C\xEC\x9D\xBC \xEC\x97\x85\xEB\xA1\x9C\xEB\x93\x9C \xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8(bytes), korean);
    EXPECT_EQ(toUtf8(L""), "");
}

}  // namespace
}  // namespace pagehost
