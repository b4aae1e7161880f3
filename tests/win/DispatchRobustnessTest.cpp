// Whatever a caller passes as arguments, members either take it or refuse it with a dispatch
// error: no crash, no other result.
#include "tests/win/TestSupport.h"

namespace tovalo_test {
namespace {

// Members that take arguments (methods) or values (writable properties), and how many.
struct Target {
    const wchar_t* name;
    WORD flags;
    int argc;
};
const Target kTargets[] = {
    {L"SetAccount", DISPATCH_METHOD, 4},       {L"LoadDirFiles", DISPATCH_METHOD, 1},
    {L"ChangeListView", DISPATCH_METHOD, 1},   {L"AddFileToList", DISPATCH_METHOD, 1},
    {L"ChangeIconSet", DISPATCH_METHOD, 1},    {L"SetRetryCount", DISPATCH_METHOD, 1},
    {L"SetShowLogButton", DISPATCH_METHOD, 1}, {L"SetTimeOut", DISPATCH_METHOD, 1},
    {L"ftpHost", DISPATCH_PROPERTYPUT, 1},     {L"ftpPort", DISPATCH_PROPERTYPUT, 1},
    {L"totalSize", DISPATCH_PROPERTYPUT, 1},   {L"getFileShow", DISPATCH_PROPERTYPUT, 1},
    {L"startUpload", DISPATCH_PROPERTYPUT, 1}, {L"totalSizeStr", DISPATCH_PROPERTYPUT, 1},
    {L"currentSize", DISPATCH_PROPERTYPUT, 1}, {L"OpenFile", DISPATCH_PROPERTYPUT, 1},
};

// Odd values a caller might hand over; each is filled into a VARIANT the caller owns.
struct Odd {
    const char* label;
    void (*fill)(VARIANT&);
};
BSTR g_nullBstr = nullptr;
VARIANT g_nested;
const Odd kOdd[] = {
    {"null dispatch",
     [](VARIANT& v) {
         v.vt = VT_DISPATCH;
         v.pdispVal = nullptr;
     }},
    {"null unknown",
     [](VARIANT& v) {
         v.vt = VT_UNKNOWN;
         v.punkVal = nullptr;
     }},
    {"null BSTR by reference",
     [](VARIANT& v) {
         v.vt = VT_BYREF | VT_BSTR;
         v.pbstrVal = nullptr;
     }},
    {"reference to a null BSTR",
     [](VARIANT& v) {
         v.vt = VT_BYREF | VT_BSTR;
         v.pbstrVal = &g_nullBstr;
     }},
    {"null VARIANT by reference",
     [](VARIANT& v) {
         v.vt = VT_BYREF | VT_VARIANT;
         v.pvarVal = nullptr;
     }},
    {"nested VARIANT reference",
     [](VARIANT& v) {
         v.vt = VT_BYREF | VT_VARIANT;
         v.pvarVal = &g_nested;
     }},
    {"null array",
     [](VARIANT& v) {
         v.vt = VT_ARRAY | VT_I4;
         v.parray = nullptr;
     }},
    {"error value",
     [](VARIANT& v) {
         v.vt = VT_ERROR;
         v.scode = E_FAIL;
     }},
    {"boolean",
     [](VARIANT& v) {
         v.vt = VT_BOOL;
         v.boolVal = VARIANT_TRUE;
     }},
    {"date",
     [](VARIANT& v) {
         v.vt = VT_DATE;
         v.date = 40000.5;
     }},
    {"huge double",
     [](VARIANT& v) {
         v.vt = VT_R8;
         v.dblVal = 1e300;
     }},
    {"negative",
     [](VARIANT& v) {
         v.vt = VT_I4;
         v.lVal = -2147483647 - 1;
     }},
    {"64-bit",
     [](VARIANT& v) {
         v.vt = VT_I8;
         v.llVal = 1LL << 40;
     }},
    {"empty text",
     [](VARIANT& v) {
         v.vt = VT_BSTR;
         v.bstrVal = nullptr;
     }},
    {"unknown type",
     [](VARIANT& v) {
         v.vt = 0x0FFF;
         v.llVal = 0;
     }},
};

TEST(DispatchRobustness, OddArgumentsAreTakenOrRefused) {
    g_nested.vt = VT_BYREF | VT_VARIANT;
    g_nested.pvarVal = nullptr;
    auto control = CreateControl();
    ASSERT_TRUE(control);
    for (const Target& t : kTargets) {
        const DISPID id = IdOf(control.Get(), t.name);
        for (const Odd& odd : kOdd) {
            for (int position = 0; position < t.argc; ++position) {
                SCOPED_TRACE(testing::Message()
                             << testing::PrintToString(std::wstring(t.name)) << " " << odd.label << " at " << position);
                std::vector<VARIANT> args(static_cast<size_t>(t.argc));
                for (VARIANT& v : args) {
                    v.vt = VT_I4;
                    v.lVal = 1;
                }
                odd.fill(args[static_cast<size_t>(position)]);
                DISPID put = DISPID_PROPERTYPUT;
                DISPPARAMS params{args.data(), t.flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                                  static_cast<UINT>(t.argc), t.flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
                fw::Variant result;
                UINT argErr = 0;
                const HRESULT hr = control->Invoke(id, IID_NULL, 0, t.flags, &params, result.Get(), nullptr, &argErr);
                EXPECT_TRUE(hr == S_OK || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTOPTIONAL) << std::hex << hr;
                if (hr == DISP_E_TYPEMISMATCH) {
                    EXPECT_EQ(argErr, static_cast<UINT>(position));
                }
            }
        }
    }
}

}  // namespace
}  // namespace tovalo_test
