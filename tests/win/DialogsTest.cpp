// The About box and the property page, answered by a hook as soon as they show.
#include "tests/win/TestSupport.h"

#include <olectl.h>

#include <algorithm>

namespace tovalo_test {
namespace {

bool Contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(Dialogs, AboutBox) {
    auto control = CreateControl();
    DialogAnswerer answerer;
    EXPECT_EQ(Call(control.Get(), L"AboutBox").hr, S_OK);
    ASSERT_EQ(answerer.captions.size(), 1u);
    EXPECT_EQ(answerer.captions[0], L"Tovalo Control 정보");
    EXPECT_TRUE(Contains(answerer.createdTexts, L"Tovalo Control, Version 1.0"));
    EXPECT_TRUE(Contains(answerer.createdTexts, L"확인"));
}

TEST(Dialogs, PropertiesVerbShowsThePage) {
    TestContainer container;
    auto control = CreateControl();
    ASSERT_EQ(container.Embed(control.Get()), S_OK);
    auto ole = control.As<IOleObject>(IID_IOleObject);
    {
        DialogAnswerer answerer;
        RECT pos = TestContainer::kPosition;
        EXPECT_EQ(ole->DoVerb(OLEIVERB_PROPERTIES, nullptr, &container, 0, container.Hwnd(), &pos), S_OK);
        EXPECT_FALSE(answerer.captions.empty());
        EXPECT_TRUE(Contains(answerer.createdTexts,
                             L"TODO: 이 대화 상자에 Tovalo Control의 속성을 조작하는 컨트롤을 배치합니다."));
    }
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

TEST(Dialogs, ThePropertiesVerbIsOffered) {
    auto control = CreateControl();
    fw::ComPtr<IEnumOLEVERB> verbs;
    ASSERT_EQ(control.As<IOleObject>(IID_IOleObject)->EnumVerbs(verbs.Put()), S_OK);
    OLEVERB verb[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(verbs->Next(2, verb, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(verb[0].lVerb, OLEIVERB_PROPERTIES);
    EXPECT_EQ(std::wstring(verb[0].lpszVerbName), L"&Properties...");
    ::CoTaskMemFree(verb[0].lpszVerbName);
    fw::ComPtr<IEnumOLEVERB> clone;
    ASSERT_EQ(verbs->Reset(), S_OK);
    ASSERT_EQ(verbs->Clone(clone.Put()), S_OK);
    EXPECT_EQ(clone->Skip(1), S_OK);
    EXPECT_EQ(clone->Next(1, verb, nullptr), S_FALSE);
}

TEST(Dialogs, PropertyPageObject) {
    auto control = CreateControl();
    auto specify = control.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    ASSERT_TRUE(specify);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], kPropPageClsid));
    ::CoTaskMemFree(pages.pElems);

    fw::ComPtr<IPropertyPage> page;
    ASSERT_EQ(::CoCreateInstance(kPropPageClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.PutVoid()),
              S_OK);
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.pszTitle), L"일반");
    EXPECT_GT(info.size.cx, 250) << "250 dialog units are wider than 250 pixels";
    EXPECT_GT(info.size.cy, 62);
    ::CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
}

}  // namespace
}  // namespace tovalo_test
