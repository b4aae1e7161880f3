// Invoke: every member with right and wrong arguments, the dispatch error codes, null texts and
// the property rules, as scenarios of steps run on a fresh control each.
#include "tests/win/TestSupport.h"

namespace tovalo_test {
namespace {

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kPutRef = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;  // script assigning an object
constexpr WORD kCall = DISPATCH_METHOD;
constexpr WORD kValue = DISPATCH_METHOD | DISPATCH_PROPERTYGET;  // script using a call's value
constexpr UINT kAnyArgErr = 0xFFFFFFFFu;

struct Step {
    const wchar_t* member;  // bound by name (locale 0); nullptr: use id
    WORD flags;
    std::vector<Arg> args;
    HRESULT hr = S_OK;
    VARTYPE vt = VT_EMPTY;  // checked when hr succeeds
    const wchar_t* value = L"";
    UINT argErr = kAnyArgErr;  // checked when given
    DISPID id = 0;
    bool statement = false;  // no result VARIANT, as a script statement
};

struct Scenario {
    const char* label;
    std::vector<Step> steps;
};

Step GetText(const wchar_t* member, const wchar_t* value) { return {member, kGet, {}, S_OK, VT_BSTR, value}; }
Step GetU4(const wchar_t* member, const wchar_t* value) { return {member, kGet, {}, S_OK, VT_UI4, value}; }
Step PutOk(const wchar_t* member, Arg value) { return {member, kPut, {value}}; }

const wchar_t kKoreanFilter[] = L"모든 파일 (*.*)|*.*|";

const Scenario kScenarios[] = {
    {"initial values",
     {GetText(L"ftpHost", L""),
      GetU4(L"ftpPort", L"21"),
      GetText(L"ftpId", L""),
      GetText(L"ftpPass", L""),
      GetU4(L"totalSize", L"0"),
      GetText(L"uploadPath", L""),
      GetText(L"retFiles", L""),
      GetText(L"textAttFile", L""),
      GetText(L"textLimit", L""),
      GetText(L"textDelete", L""),
      GetText(L"getFileShow", L""),
      GetText(L"OpenFile", kKoreanFilter),
      GetU4(L"currentSize", L"0"),
      GetText(L"startUpload", L""),
      GetText(L"uploadFilesize", L""),
      GetText(L"retFilesize", L""),
      GetText(L"totalSizeStr", L"0"),
      GetText(L"currentSizeStr", L"0"),
      {L"GetUploadResult", kValue, {}, S_OK, VT_UI4, L"1"}}},
    {"text properties keep what is written, Korean included",
     {PutOk(L"ftpHost", Text(L"ftp.example.com")),
      GetText(L"ftpHost", L"ftp.example.com"),
      PutOk(L"ftpId", Text(L"사용자")),
      GetText(L"ftpId", L"사용자"),
      PutOk(L"ftpPass", Text(L"abcdef123")),
      GetText(L"ftpPass", L"abcdef123"),
      PutOk(L"uploadPath", Text(L"/메일/첨부/")),
      GetText(L"uploadPath", L"/메일/첨부/"),
      PutOk(L"retFiles", Text(L"1(a.txt)|2(b.txt)")),
      GetText(L"retFiles", L"1(a.txt)|2(b.txt)"),
      PutOk(L"retFilesize", Text(L"10|20")),
      GetText(L"retFilesize", L"10|20"),
      PutOk(L"textAttFile", Text(L"첨부 파일")),
      GetText(L"textAttFile", L"첨부 파일"),
      PutOk(L"textLimit", Text(L"10MB")),
      GetText(L"textLimit", L"10MB"),
      PutOk(L"textDelete", Text(L"삭제")),
      GetText(L"textDelete", L"삭제"),
      PutOk(L"OpenFile", Text(L"문서 (*.doc)|*.doc|")),
      GetText(L"OpenFile", L"문서 (*.doc)|*.doc|")}},
    {"null and undefined texts read as empty",
     {PutOk(L"ftpHost", Text(L"x")),
      PutOk(L"ftpHost", Null()),
      GetText(L"ftpHost", L""),
      PutOk(L"ftpId", Text(L"x")),
      PutOk(L"ftpId", Empty()),
      GetText(L"ftpId", L""),
      PutOk(L"startUpload", Null()),
      GetText(L"retFiles", L""),
      {L"LoadDirFiles", kCall, {Null()}},
      {L"AddFileToList", kCall, {Empty()}}}},
    {"script-style calls: assignment of an object, statements, values",
     {{L"ftpHost", kPutRef, {Text(L"h")}},
      GetText(L"ftpHost", L"h"),
      {L"UpLoadFiles", kCall, {}, S_OK, VT_EMPTY, L"", kAnyArgErr, 0, true},
      {L"UpLoadFiles", kValue, {}, S_OK, VT_I4, L"0"},
      {L"GetUploadResult", kValue, {}, S_OK, VT_UI4, L"1"},
      {L"SetTimeOut", kCall, {UI4(1000)}, S_OK, VT_EMPTY, L"", kAnyArgErr, 0, true}}},
    {"every method with its arguments",
     {{L"SetAccount", kCall, {Text(L"h"), I4(2121), Text(L"id"), Text(L"pw")}},
      {L"UpLoadFiles", kCall, {}, S_OK, VT_I4, L"0"},
      {L"LoadDirFiles", kCall, {Text(L"Z:\\no\\such\\folder")}},
      {L"ChangeListView", kCall, {I4(1)}},
      {L"ChangeListView", kCall, {I4(0)}},
      {L"DeleteAllItemInList", kCall, {}},
      {L"DeleteSelectedItem", kCall, {}},
      {L"AddFileToList", kCall, {Text(L"Z:\\no\\such\\file.txt")}},
      {L"UpdateHideIcons", kCall, {}},
      {L"ChangeIconSet", kCall, {I4(1)}},
      {L"ChangeIconSet", kCall, {I4(0)}},
      {L"SetRetryCount", kCall, {UI4(3)}},
      {L"SetShowLogButton", kCall, {UI4(1)}},
      {L"GetUploadResult", kCall, {}, S_OK, VT_UI4, L"1"},
      {L"SetTimeOut", kCall, {UI4(30)}}}},
    {"arguments are converted to the declared types",
     {{L"ChangeListView", kCall, {Text(L"1")}},
      {L"SetRetryCount", kCall, {R8(4000000007.0)}},
      PutOk(L"ftpPort", Text(L"2121")),
      GetU4(L"ftpPort", L"2121"),
      PutOk(L"totalSize", R8(4000000007.0)),
      GetU4(L"totalSize", L"4000000007"),
      PutOk(L"ftpHost", I4(42)),
      GetText(L"ftpHost", L"42")}},
    {"wrong argument counts",
     {{L"SetAccount", kCall, {Text(L"h"), I4(21), Text(L"id")}, DISP_E_BADPARAMCOUNT},
      {L"SetAccount", kCall, {Text(L"h"), I4(21), Text(L"id"), Text(L"pw"), Text(L"x")}, DISP_E_BADPARAMCOUNT},
      {L"UpLoadFiles", kCall, {I4(1)}, DISP_E_BADPARAMCOUNT},
      {L"AddFileToList", kCall, {}, DISP_E_BADPARAMCOUNT},
      {L"SelectFile", kCall, {I4(1)}, DISP_E_BADPARAMCOUNT},
      {L"LoadFilesFromDialog", kCall, {Text(L"x")}, DISP_E_BADPARAMCOUNT},
      {L"AboutBox", kCall, {I4(1)}, DISP_E_BADPARAMCOUNT},
      {L"ftpHost", kGet, {I4(1)}, DISP_E_BADPARAMCOUNT},
      {L"ftpHost", kPut, {Text(L"a"), Text(L"b")}, DISP_E_BADPARAMCOUNT}}},
    {"arguments that do not convert",
     {{L"SetAccount",
       kCall,
       {Text(L"h"), Text(L"abc"), Text(L"id"), Text(L"pw")},
       DISP_E_TYPEMISMATCH,
       VT_EMPTY,
       L"",
       2},
      {L"SetAccount", kCall, {Text(L"h"), I4(21), Text(L"id"), Missing()}, DISP_E_PARAMNOTOPTIONAL, VT_EMPTY, L"", 0},
      {L"ChangeIconSet", kCall, {Text(L"big")}, DISP_E_TYPEMISMATCH, VT_EMPTY, L"", 0},
      {L"SetRetryCount", kCall, {Text(L"ten")}, DISP_E_TYPEMISMATCH, VT_EMPTY, L"", 0},
      {L"ftpPort", kPut, {Text(L"abc")}, DISP_E_TYPEMISMATCH, VT_EMPTY, L"", 0},
      {L"ftpPort", kPut, {Null()}, DISP_E_TYPEMISMATCH, VT_EMPTY, L"", 0},
      GetU4(L"ftpPort", L"21")}},
    {"members used the wrong way",
     {{nullptr, kGet, {}, DISP_E_MEMBERNOTFOUND, VT_EMPTY, L"", kAnyArgErr, 999},
      {nullptr, kCall, {}, DISP_E_MEMBERNOTFOUND, VT_EMPTY, L"", kAnyArgErr, 42 + 1000},
      {L"SetAccount", kPut, {Text(L"x")}, DISP_E_MEMBERNOTFOUND},
      {L"UpLoadFiles", kGet, {}, DISP_E_MEMBERNOTFOUND},
      {L"ftpHost", kCall, {}, DISP_E_MEMBERNOTFOUND}}},
    {"reading getFileShow right after setting it yields nothing",
     {PutOk(L"getFileShow", Text(L"a1|100|x.txt:a2||200|y.doc")), GetText(L"getFileShow", L"")}},
    {"writing 0 to totalSize stores 1",
     {PutOk(L"totalSize", UI4(0)), GetU4(L"totalSize", L"1"), PutOk(L"totalSize", UI4(3000)),
      GetU4(L"totalSize", L"3000")}},
    {"totalSizeStr reads a signed 64-bit decimal and shows it unsigned",
     {PutOk(L"totalSizeStr", Text(L"5368709120")), GetText(L"totalSizeStr", L"5368709120"),
      PutOk(L"totalSizeStr", Text(L"abc")), GetText(L"totalSizeStr", L"0"), PutOk(L"totalSizeStr", Text(L"  +42abc")),
      GetText(L"totalSizeStr", L"42"), PutOk(L"totalSizeStr", Text(L"\t-5")),
      GetText(L"totalSizeStr", L"18446744073709551611"), PutOk(L"totalSizeStr", Text(L"")),
      GetText(L"totalSizeStr", L"0"), PutOk(L"totalSizeStr", Text(L"99999999999999999999")),
      GetText(L"totalSizeStr", L"9223372036854775807"), PutOk(L"totalSizeStr", Text(L"-99999999999999999999")),
      GetText(L"totalSizeStr", L"9223372036854775808"), PutOk(L"totalSizeStr", I4(7)), GetText(L"totalSizeStr", L"7")}},
    {"a missing totalSizeStr counts as 1",
     {PutOk(L"totalSizeStr", Null()), GetText(L"totalSizeStr", L"1"), PutOk(L"totalSizeStr", Text(L"0")),
      PutOk(L"totalSizeStr", Empty()), GetText(L"totalSizeStr", L"1")}},
    {"startUpload reads retFiles; only \"start\" starts anything",
     {PutOk(L"retFiles", Text(L"1230000000(보고서.hwp)")), GetText(L"startUpload", L"1230000000(보고서.hwp)"),
      PutOk(L"startUpload", Text(L"Start")), PutOk(L"startUpload", Text(L"start ")),
      GetText(L"retFiles", L"1230000000(보고서.hwp)")}},
    {"ftpPort: once 0, always 0",
     {PutOk(L"ftpPort", UI4(2121)), GetU4(L"ftpPort", L"2121"), PutOk(L"ftpPort", UI4(0)), GetU4(L"ftpPort", L"0"),
      PutOk(L"ftpPort", UI4(2121)), GetU4(L"ftpPort", L"0")}},
    {"SetAccount leaves the account alone",
     {{L"SetAccount", kCall, {Text(L"host"), I4(2121), Text(L"id"), Text(L"pw")}},
      GetText(L"ftpHost", L""),
      GetU4(L"ftpPort", L"21"),
      GetText(L"ftpId", L""),
      GetText(L"ftpPass", L"")}},
    {"UpLoadFiles answers 0 and starts nothing",
     {{L"UpLoadFiles", kValue, {}, S_OK, VT_I4, L"0"},
      GetText(L"retFiles", L""),
      {L"GetUploadResult", kValue, {}, S_OK, VT_UI4, L"1"}}},
    {"read-only in effect: values written are ignored",
     {PutOk(L"retFilesize", Text(L"10|20")), PutOk(L"uploadFilesize", Text(L"x")), GetText(L"uploadFilesize", L"10|20"),
      GetText(L"retFilesize", L"10|20"), PutOk(L"currentSize", UI4(5)), GetU4(L"currentSize", L"0"),
      PutOk(L"currentSizeStr", Text(L"5")), GetText(L"currentSizeStr", L"0")}},
};

TEST(DispatchInvoke, Scenarios) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.label);
        auto control = CreateControl();
        ASSERT_TRUE(control);
        int index = 0;
        for (const Step& step : scenario.steps) {
            SCOPED_TRACE(testing::Message() << "step " << index++ << " "
                                            << testing::PrintToString(std::wstring(step.member ? step.member : L"#")));
            const DISPID id = step.member ? IdOf(control.Get(), step.member) : step.id;
            const InvokeResult r = Invoke(control.Get(), id, step.flags, step.args, !step.statement);
            EXPECT_EQ(r.hr, step.hr);
            if (SUCCEEDED(step.hr)) {
                EXPECT_EQ(r.vt, step.vt);
                EXPECT_EQ(r.value, step.value);
            }
            if (step.argErr != kAnyArgErr) {
                EXPECT_EQ(r.argErr, step.argErr);
            }
        }
    }
}

TEST(DispatchInvoke, ProtocolErrors) {
    auto control = CreateControl();
    const DISPID host = IdOf(control.Get(), L"ftpHost");
    fw::Variant value;
    value->vt = VT_BSTR;
    value->bstrVal = ::SysAllocString(L"h");
    DISPPARAMS params{value.Get(), nullptr, 1, 0};
    UINT argErr = 0;
    EXPECT_EQ(control->Invoke(host, IID_IUnknown, 0, kPut, &params, nullptr, nullptr, &argErr),
              DISP_E_UNKNOWNINTERFACE);

    // A put whose value is named as something else.
    DISPID wrongName = 0;
    params.rgdispidNamedArgs = &wrongName;
    params.cNamedArgs = 1;
    EXPECT_EQ(control->Invoke(host, IID_NULL, 0, kPut, &params, nullptr, nullptr, &argErr), DISP_E_PARAMNOTFOUND);
    // A put whose value is not named at all is taken as the value.
    params.rgdispidNamedArgs = nullptr;
    params.cNamedArgs = 0;
    EXPECT_EQ(control->Invoke(host, IID_NULL, 0, kPut, &params, nullptr, nullptr, &argErr), S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpHost").value, L"h");
    // Named arguments to a method.
    DISPID named = 0;
    DISPPARAMS callParams{value.Get(), &named, 1, 1};
    EXPECT_EQ(control->Invoke(IdOf(control.Get(), L"AddFileToList"), IID_NULL, 0, kCall, &callParams, nullptr, nullptr,
                              &argErr),
              DISP_E_NONAMEDARGS);
    // No DISPPARAMS at all for a call without arguments.
    EXPECT_EQ(control->Invoke(IdOf(control.Get(), L"DeleteAllItemInList"), IID_NULL, 0, kCall, nullptr, nullptr,
                              nullptr, nullptr),
              S_OK);
}

TEST(DispatchInvoke, ArgumentsByReference) {
    auto control = CreateControl();
    fw::Variant inner;
    inner->vt = VT_BSTR;
    inner->bstrVal = ::SysAllocString(L"참조");
    VARIANT byRef;
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = inner.Get();
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&byRef, &put, 1, 1};
    EXPECT_EQ(control->Invoke(IdOf(control.Get(), L"ftpHost"), IID_NULL, 0, kPut, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpHost").value, L"참조");
}

}  // namespace
}  // namespace tovalo_test
