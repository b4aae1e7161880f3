// Persistence: property bags (a page's object parameters) and streams, in the fixed order,
// with no defaults: what a stored set lacks keeps its constructed value.
#include "tests/win/TestSupport.h"

#include <objbase.h>

namespace tovalo_test {
namespace {

const wchar_t* const kOrder[] = {L"_Version",    L"_ExtentX",    L"_ExtentY",     L"ftpHost",    L"ftpPort",
                                 L"ftpId",       L"ftpPass",     L"totalSize",    L"uploadPath", L"retFiles",
                                 L"retFilesize", L"textAttFile", L"textLimit",    L"textDelete", L"totalSizeStr",
                                 L"ftpSecure",   L"ftpCertPin",  L"resumeUploads"};

// Writes a recognisable value to every persisted property.
void SetEverything(IDispatch* c) {
    ASSERT_EQ(Put(c, L"ftpHost", Text(L"ftp.example.com")), S_OK);
    ASSERT_EQ(Put(c, L"ftpPort", UI4(2121)), S_OK);
    ASSERT_EQ(Put(c, L"ftpId", Text(L"메일사용자")), S_OK);
    ASSERT_EQ(Put(c, L"ftpPass", Text(L"abc123")), S_OK);
    ASSERT_EQ(Put(c, L"totalSize", UI4(4000000007u)), S_OK);
    ASSERT_EQ(Put(c, L"uploadPath", Text(L"/첨부/")), S_OK);
    ASSERT_EQ(Put(c, L"retFiles", Text(L"1(가.txt)")), S_OK);
    ASSERT_EQ(Put(c, L"retFilesize", Text(L"10")), S_OK);
    ASSERT_EQ(Put(c, L"textAttFile", Text(L"파일 첨부")), S_OK);
    ASSERT_EQ(Put(c, L"textLimit", Text(L"한도")), S_OK);
    ASSERT_EQ(Put(c, L"textDelete", Text(L"삭제")), S_OK);
    ASSERT_EQ(Put(c, L"ftpSecure", UI4(1)), S_OK);
    ASSERT_EQ(Put(c, L"ftpCertPin", Text(L"ab:cd")), S_OK);
    ASSERT_EQ(Put(c, L"resumeUploads", UI4(0)), S_OK);
}

void ExpectEverything(IDispatch* c) {
    EXPECT_EQ(Get(c, L"ftpHost").value, L"ftp.example.com");
    EXPECT_EQ(Get(c, L"ftpPort").value, L"2121");
    EXPECT_EQ(Get(c, L"ftpId").value, L"메일사용자");
    EXPECT_EQ(Get(c, L"ftpPass").value, L"abc123");
    EXPECT_EQ(Get(c, L"totalSize").value, L"4000000007");
    EXPECT_EQ(Get(c, L"uploadPath").value, L"/첨부/");
    EXPECT_EQ(Get(c, L"retFiles").value, L"1(가.txt)");
    EXPECT_EQ(Get(c, L"retFilesize").value, L"10");
    EXPECT_EQ(Get(c, L"textAttFile").value, L"파일 첨부");
    EXPECT_EQ(Get(c, L"textLimit").value, L"한도");
    EXPECT_EQ(Get(c, L"textDelete").value, L"삭제");
    EXPECT_EQ(Get(c, L"ftpSecure").value, L"1");
    EXPECT_EQ(Get(c, L"ftpCertPin").value, L"ab:cd");
    EXPECT_EQ(Get(c, L"resumeUploads").value, L"0");
}

template <class I>
fw::ComPtr<I> As(const fw::ComPtr<IDispatch>& d, REFIID iid) {
    return d.As<I>(iid);
}

TEST(Persistence, PropertyBagRoundTripInOrder) {
    auto source = CreateControl();
    SetEverything(source.Get());
    MemoryBag bag;
    auto save = As<IPersistPropertyBag>(source, IID_IPersistPropertyBag);
    ASSERT_TRUE(save);
    ASSERT_EQ(save->Save(&bag, TRUE, TRUE), S_OK);
    ASSERT_EQ(bag.WriteOrder().size(), std::size(kOrder));
    for (size_t i = 0; i < std::size(kOrder); ++i) EXPECT_EQ(bag.WriteOrder()[i], kOrder[i]);
    EXPECT_EQ(bag.TextOf(L"_Version"), std::to_wstring(0x00010000));
    EXPECT_EQ(bag.TextOf(L"ftpPort"), L"2121");
    EXPECT_EQ(bag.TextOf(L"ftpId"), L"메일사용자");

    auto target = CreateControl();
    auto load = As<IPersistPropertyBag>(target, IID_IPersistPropertyBag);
    ASSERT_EQ(load->Load(&bag, nullptr), S_OK);
    ExpectEverything(target.Get());
}

TEST(Persistence, PageParametersAreTexts) {
    // A page gives every parameter as text; numbers are converted, missing ones keep their values.
    MemoryBag params;
    params.SetText(L"ftpHost", L"upload.example.com");
    params.SetText(L"totalSize", L"3000");
    params.SetText(L"ftpId", L"홍길동");
    params.SetText(L"unknownParam", L"ignored");
    auto control = CreateControl();
    auto load = As<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
    ASSERT_EQ(load->Load(&params, nullptr), S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpHost").value, L"upload.example.com");
    EXPECT_EQ(Get(control.Get(), L"totalSize").value, L"3000");
    EXPECT_EQ(Get(control.Get(), L"ftpId").value, L"홍길동");
    EXPECT_EQ(Get(control.Get(), L"ftpPort").value, L"21") << "a stored set without ftpPort keeps 21";
    EXPECT_EQ(Get(control.Get(), L"OpenFile").value, L"모든 파일 (*.*)|*.*|");
}

TEST(Persistence, ValuesThatDoNotConvertKeepTheMember) {
    MemoryBag params;
    params.SetText(L"ftpPort", L"twenty-one");
    params.SetText(L"totalSize", L"");
    auto control = CreateControl();
    ASSERT_EQ(As<IPersistPropertyBag>(control, IID_IPersistPropertyBag)->Load(&params, nullptr), S_OK);
    EXPECT_EQ(Get(control.Get(), L"ftpPort").value, L"21");
    EXPECT_EQ(Get(control.Get(), L"totalSize").value, L"0");
}

TEST(Persistence, StoredTotalSizeStrIsOnlyATextBuffer) {
    // Only the property setter changes the 64-bit limit; reading rewrites the buffer from it.
    MemoryBag params;
    params.SetText(L"totalSizeStr", L"5368709120");
    auto control = CreateControl();
    ASSERT_EQ(As<IPersistPropertyBag>(control, IID_IPersistPropertyBag)->Load(&params, nullptr), S_OK);
    EXPECT_EQ(Get(control.Get(), L"totalSizeStr").value, L"0");
}

TEST(Persistence, StreamRoundTrip) {
    auto source = CreateControl();
    SetEverything(source.Get());
    fw::ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    auto save = As<IPersistStreamInit>(source, IID_IPersistStreamInit);
    ULARGE_INTEGER size{};
    ASSERT_EQ(save->GetSizeMax(&size), S_OK);
    ASSERT_EQ(save->Save(stream.Get(), TRUE), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, size.QuadPart);

    LARGE_INTEGER start{};
    ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
    auto target = CreateControl();
    auto load = As<IPersistStreamInit>(target, IID_IPersistStreamInit);
    ASSERT_EQ(load->Load(stream.Get()), S_OK);
    ExpectEverything(target.Get());
}

TEST(Persistence, DamagedStreamsAreRefusedAndChangeNothing) {
    auto source = CreateControl();
    SetEverything(source.Get());
    fw::ComPtr<IStream> full;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, full.Put()), S_OK);
    ASSERT_EQ(As<IPersistStreamInit>(source, IID_IPersistStreamInit)->Save(full.Get(), TRUE), S_OK);
    STATSTG stat{};
    full->Stat(&stat, STATFLAG_NONAME);
    std::vector<char> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    full->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    full->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    ASSERT_EQ(got, bytes.size());

    struct Damage {
        const char* label;
        std::vector<char> data;
    };
    std::vector<Damage> cases = {
        {"empty", {}},
        {"cut in the header", {bytes.begin(), bytes.begin() + 6}},
        {"cut in the last record", {bytes.begin(), bytes.end() - 3}},
        {"wrong magic", bytes},
        {"absurd record count", bytes},
        {"absurd text length", bytes},
    };
    cases[3].data[0] = 'X';
    cases[4].data[4] = cases[4].data[5] = cases[4].data[6] = cases[4].data[7] = '\x7f';
    // The first record is _Version (VT_I4); the fourth, ftpHost, is text: make its length huge.
    {
        size_t at = 8;
        for (int record = 0; record < 3; ++record) {
            const auto nameChars =
                static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
            at += 2 + 2 * static_cast<size_t>(nameChars) + 2 + 4;
        }
        const auto nameChars = static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
        at += 2 + 2 * static_cast<size_t>(nameChars) + 2;
        for (int i = 0; i < 4; ++i) cases[5].data[at + static_cast<size_t>(i)] = '\x7f';
    }
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.label);
        fw::ComPtr<IStream> stream;
        ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
        stream->Write(d.data.data(), static_cast<ULONG>(d.data.size()), nullptr);
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        auto target = CreateControl();
        EXPECT_TRUE(FAILED(As<IPersistStreamInit>(target, IID_IPersistStreamInit)->Load(stream.Get())));
        EXPECT_EQ(Get(target.Get(), L"ftpHost").value, L"");
        EXPECT_EQ(Get(target.Get(), L"ftpPort").value, L"21");
    }
}

TEST(Persistence, StorageRoundTrip) {
    auto source = CreateControl();
    SetEverything(source.Get());
    fw::ComPtr<ILockBytes> bytes;
    ASSERT_EQ(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    fw::ComPtr<IStorage> storage;
    ASSERT_EQ(::StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                             storage.Put()),
              S_OK);
    ASSERT_EQ(As<IPersistStorage>(source, IID_IPersistStorage)->Save(storage.Get(), FALSE), S_OK);
    auto target = CreateControl();
    ASSERT_EQ(As<IPersistStorage>(target, IID_IPersistStorage)->Load(storage.Get()), S_OK);
    ExpectEverything(target.Get());
}

TEST(Persistence, DirtyAfterSettersUntilSaved) {
    auto control = CreateControl();
    auto stream = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
    ASSERT_EQ(stream->InitNew(), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    // Methods never mark the control modified, not even those that change members.
    ASSERT_EQ(Call(control.Get(), L"SetRetryCount", {UI4(3)}).hr, S_OK);
    ASSERT_EQ(Call(control.Get(), L"SetShowLogButton", {UI4(1)}).hr, S_OK);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    // Writing 0 to ftpPort marks the control; after that, writes to it are ignored completely.
    ASSERT_EQ(Put(control.Get(), L"ftpPort", UI4(0)), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_OK);
    fw::ComPtr<IStream> sink;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, sink.Put()), S_OK);
    ASSERT_EQ(stream->Save(sink.Get(), TRUE), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    ASSERT_EQ(Put(control.Get(), L"ftpPort", UI4(2121)), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    // Every other setter marks, even one whose value is ignored.
    ASSERT_EQ(Put(control.Get(), L"currentSize", UI4(1)), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_OK);
}

TEST(Persistence, IdentityOfEveryPersistenceInterface) {
    auto control = CreateControl();
    for (const IID* iid : {&IID_IPersistPropertyBag, &IID_IPersistStreamInit, &IID_IPersistStorage}) {
        auto persist = control.As<IPersist>(*iid);
        ASSERT_TRUE(persist);
        CLSID clsid{};
        EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, kCtrlClsid));
    }
}

}  // namespace
}  // namespace tovalo_test
