// GetIDsOfNames: the control's own table (locale 0, as script engines ask) and the type library
// (any other locale), which lacks retFilesize and calls member 41 UploadFileSize.
#include "tests/win/TestSupport.h"

#include <olectl.h>

namespace tovalo_test {
namespace {

constexpr LCID kKorean = 0x0412;
constexpr HRESULT kUnknown = DISP_E_UNKNOWNNAME;

struct NameCase {
    const wchar_t* name;
    DISPID tableId;  // lcid 0
    HRESULT tableHr;
    DISPID libraryId;  // lcid 0x0412, through the type library
    HRESULT libraryHr;
};

const NameCase kNames[] = {
    {L"AboutBox", DISPID_ABOUTBOX, S_OK, DISPID_ABOUTBOX, S_OK},
    {L"SetAccount", 3, S_OK, 3, S_OK},
    {L"UpLoadFiles", 4, S_OK, 4, S_OK},
    {L"SelectFile", 5, S_OK, 5, S_OK},
    {L"LoadDirFiles", 6, S_OK, 6, S_OK},
    {L"ChangeListView", 7, S_OK, 7, S_OK},
    {L"DeleteAllItemInList", 8, S_OK, 8, S_OK},
    {L"DeleteSelectedItem", 9, S_OK, 9, S_OK},
    {L"ftpHost", 10, S_OK, 10, S_OK},
    {L"ftpPort", 11, S_OK, 11, S_OK},
    {L"ftpId", 12, S_OK, 12, S_OK},
    {L"ftpPass", 13, S_OK, 13, S_OK},
    {L"totalSize", 14, S_OK, 14, S_OK},
    {L"uploadPath", 15, S_OK, 15, S_OK},
    {L"retFiles", 16, S_OK, 16, S_OK},
    {L"textAttFile", 17, S_OK, 17, S_OK},
    {L"textLimit", 18, S_OK, 18, S_OK},
    {L"textDelete", 19, S_OK, 19, S_OK},
    {L"getFileShow", 20, S_OK, 20, S_OK},
    {L"OpenFile", 21, S_OK, 21, S_OK},
    {L"currentSize", 22, S_OK, 22, S_OK},
    {L"startUpload", 23, S_OK, 23, S_OK},
    {L"AddFileToList", 24, S_OK, 24, S_OK},
    {L"LoadFilesFromDialog", 25, S_OK, 25, S_OK},
    {L"UpdateHideIcons", 26, S_OK, 26, S_OK},
    {L"ChangeIconSet", 27, S_OK, 27, S_OK},
    {L"SetRetryCount", 28, S_OK, 28, S_OK},
    {L"SetShowLogButton", 29, S_OK, 29, S_OK},
    {L"GetUploadResult", 30, S_OK, 30, S_OK},
    {L"SetTimeOut", 31, S_OK, 31, S_OK},
    {L"uploadFilesize", 41, S_OK, 41, S_OK},
    {L"UploadFileSize", 41, S_OK, 41, S_OK},
    {L"retFilesize", 42, S_OK, DISPID_UNKNOWN, kUnknown},
    {L"totalSizeStr", 43, S_OK, 43, S_OK},
    {L"currentSizeStr", 44, S_OK, 44, S_OK},
    // Case does not matter on either path.
    {L"FTPHOST", 10, S_OK, 10, S_OK},
    {L"retfilesize", 42, S_OK, DISPID_UNKNOWN, kUnknown},
    {L"getuploadresult", 30, S_OK, 30, S_OK},
    // Not members.
    {L"ftpHos", DISPID_UNKNOWN, kUnknown, DISPID_UNKNOWN, kUnknown},
    {L"", DISPID_UNKNOWN, kUnknown, DISPID_UNKNOWN, kUnknown},
    {L"QueryInterface", DISPID_UNKNOWN, kUnknown, DISPID_UNKNOWN, kUnknown},
};

TEST(DispatchNames, BothPaths) {
    auto control = CreateControl();
    ASSERT_TRUE(control);
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        auto* name = const_cast<LPOLESTR>(c.name);
        DISPID id = 12345;
        EXPECT_EQ(control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), c.tableHr);
        EXPECT_EQ(id, c.tableId);
        id = 12345;
        EXPECT_EQ(control->GetIDsOfNames(IID_NULL, &name, 1, kKorean, &id), c.libraryHr);
        EXPECT_EQ(id, c.libraryId);
    }
}

TEST(DispatchNames, ParameterNamesAreNotBoundByTheTable) {
    auto control = CreateControl();
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SetAccount"), const_cast<LPOLESTR>(L"HostName"),
                        const_cast<LPOLESTR>(L"sPass")};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);

    // The type library knows them: their positions.
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 3, kKorean, ids), S_OK);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], 0);
    EXPECT_EQ(ids[2], 3);
}

TEST(DispatchNames, OnlyTheNullInterfaceIsAccepted) {
    auto control = CreateControl();
    LPOLESTR name = const_cast<LPOLESTR>(L"ftpHost");
    DISPID id = 0;
    EXPECT_EQ(control->GetIDsOfNames(IID_IUnknown, &name, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(control->GetIDsOfNames(kDispatchIid, &name, 1, kKorean, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST(DispatchNames, TypeInformation) {
    auto control = CreateControl();
    UINT count = 0;
    ASSERT_EQ(control->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    fw::ComPtr<ITypeInfo> info;
    ASSERT_EQ(control->GetTypeInfo(0, kKorean, info.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kDispatchIid));
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    info->ReleaseTypeAttr(attr);

    // Help strings are stored in the system code page and come back as the Korean texts.
    fw::Bstr doc;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(std::wstring(doc.Get()), L"Tovalo Control의 디스패치 인터페이스");
    ASSERT_EQ(info->GetDocumentation(10, nullptr, doc.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(std::wstring(doc.Get()), L"속성 ftpHost");
    fw::ComPtr<ITypeLib> lib;
    UINT index = 0;
    ASSERT_EQ(info->GetContainingTypeLib(lib.Put(), &index), S_OK);
    fw::Bstr helpFile;
    ASSERT_EQ(lib->GetDocumentation(-1, nullptr, doc.Put(), nullptr, helpFile.Put()), S_OK);
    EXPECT_EQ(std::wstring(doc.Get()), L"Tovalo ActiveX 컨트롤 모듈");
    EXPECT_NE(std::wstring(helpFile.Get()).find(L"Tovalo.hlp"), std::wstring::npos);

    EXPECT_EQ(control->GetTypeInfo(1, 0, info.Put()), DISP_E_BADINDEX);
}

TEST(DispatchNames, ClassInfoNamesTheEmptyEventInterface) {
    auto control = CreateControl();
    auto provide = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
    ASSERT_TRUE(provide);
    GUID events{};
    ASSERT_EQ(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_TRUE(IsEqualGUID(events, kEventsIid));

    fw::ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provide->GetClassInfo(coclass.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, kCtrlClsid));
    EXPECT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);

    fw::ComPtr<ITypeLib> lib;
    UINT index = 0;
    ASSERT_EQ(coclass->GetContainingTypeLib(lib.Put(), &index), S_OK);
    fw::ComPtr<ITypeInfo> eventInfo;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(kEventsIid, eventInfo.Put()), S_OK);
    ASSERT_EQ(eventInfo->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cVars, 0);
    eventInfo->ReleaseTypeAttr(attr);
}

}  // namespace
}  // namespace tovalo_test
