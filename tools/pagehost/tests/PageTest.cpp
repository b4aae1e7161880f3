// Page parser: which markup yields which object, params and scripts, and which is refused.
#include "tools/pagehost/Page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pagehost {
namespace {

constexpr wchar_t kClass[] = L"{3B0B4102-58CA-4165-B0CD-0970FEC6FF13}";

TEST(PageTest, ObjectParamsAndScriptsInDocumentOrder) {
    const auto result = parsePage(
        L"\uFEFF<html><body><h1>T</h1><!-- <object id=x> -->\n"
        L"<OBJECT ID=\"tv\" CLASSID=\"clsid:{3B0B4102-58CA-4165-B0CD-0970FEC6FF13}\""
        L" width=500 height='300px'>\n"
        L"  <param name=\"ftpHost\" value=\"127.0.0.1\">\n"
        L"  <PARAM NAME=ftpId VALUE='한글 &amp; &#xAC00;&#44032;&quot;'/>\n"
        L"  <param name=\"empty\">\n"
        L"</object>\n"
        L"<script language=\"JScript\">host.echo('a</b>');</script>\n"
        L"<script type=\"text/javascript\">\nhost.echo(1);\n</SCRIPT></body></html>");
    ASSERT_EQ(result.error, L"");
    ASSERT_TRUE(result.page.object);
    const PageObject& object = *result.page.object;
    EXPECT_EQ(object.id, L"tv");
    EXPECT_EQ(object.classId, kClass);
    EXPECT_EQ(object.width, 500);
    EXPECT_EQ(object.height, 300);
    ASSERT_EQ(object.params.size(), 3u);
    EXPECT_EQ(object.params[0].name, L"ftpHost");
    EXPECT_EQ(object.params[0].value, L"127.0.0.1");
    EXPECT_EQ(object.params[1].name, L"ftpId");
    EXPECT_EQ(object.params[1].value, L"한글 & 가가\"");
    EXPECT_EQ(object.params[2].value, L"");
    ASSERT_EQ(result.page.scripts.size(), 2u);
    EXPECT_EQ(result.page.scripts[0].code, L"host.echo('a</b>');");
    EXPECT_EQ(result.page.scripts[0].line, 6u);
    EXPECT_EQ(result.page.scripts[1].code, L"\nhost.echo(1);\n");
    EXPECT_EQ(result.page.scripts[1].line, 7u);
}

TEST(PageTest, SeveralObjectsKeepTheirOwnParamsInDocumentOrder) {
    const auto result = parsePage(
        L"<object id=a classid=clsid:{1} width=10><param name=p value=1></object>\n"
        L"<p>between</p><object id=b classid=clsid:{2} height=20><param name=p value=2><param name=q></object>"
        L"<object id=c classid=clsid:{3}></object>");
    ASSERT_EQ(result.error, L"");
    const std::vector<const PageObject*> objects = result.page.objects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0], &*result.page.object);  // the first is the one the host's list members use
    const struct {
        const wchar_t* id;
        int width;
        int height;
        size_t params;
    } expected[] = {{L"a", 10, 240, 1}, {L"b", 400, 20, 2}, {L"c", 400, 240, 0}};
    for (size_t i = 0; i < objects.size(); ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(objects[i]->id, expected[i].id);
        EXPECT_EQ(objects[i]->width, expected[i].width);
        EXPECT_EQ(objects[i]->height, expected[i].height);
        EXPECT_EQ(objects[i]->params.size(), expected[i].params);
    }
    EXPECT_EQ(objects[1]->params[0].value, L"2");
}

TEST(PageTest, PageWithoutObjectRunsScriptsOnly) {
    const auto result = parsePage(L"<script>host.echo(1)</script> 1 < 2 <b>x</b>");
    ASSERT_EQ(result.error, L"");
    EXPECT_FALSE(result.page.object);
    ASSERT_EQ(result.page.scripts.size(), 1u);
}

TEST(PageTest, DefaultsAndBareClassId) {
    const auto result = parsePage(L"<object id=o classid=\"CLSID:3B0B4102-58CA-4165-B0CD-0970FEC6FF13\"></object>");
    ASSERT_EQ(result.error, L"");
    EXPECT_EQ(result.page.object->classId, kClass);
    EXPECT_EQ(result.page.object->width, 400);
    EXPECT_EQ(result.page.object->height, 240);
}

TEST(PageTest, RefusedMarkup) {
    struct Case {
        std::wstring markup;
        const wchar_t* error;
    };
    const auto objects = [](int count) {
        std::wstring markup;
        for (int i = 0; i < count; ++i) {
            markup += L"<object id=o" + std::to_wstring(i) + L" classid=clsid:{1}></object>";
        }
        return markup;
    };
    EXPECT_EQ(parsePage(objects(8)).error, L"");
    const Case cases[] = {
        {objects(9), L"a page holds at most 8 <object>s"},
        {L"<object id=a classid=clsid:{1}></object><object id=a classid=clsid:{2}></object>",
         L"two <object>s have the id \"a\""},
        {L"<object id=a classid=clsid:{1}><object id=b classid=clsid:{2}></object></object>",
         L"<object> inside another <object>"},
        {L"<object classid=clsid:{1}></object>", L"<object> needs an id"},
        {L"<object id=host classid=clsid:{1}></object>", L"the id \"host\" belongs to the host object"},
        {L"<object id=a classid=\"{1}\"></object>", L"<object> needs a classid of the form clsid:{GUID}"},
        {L"<object id=a classid=clsid:{1} width=0></object>",
         L"<object> width and height must be whole pixels from 1 to 8192"},
        {L"<object id=a classid=clsid:{1} height=99999999999></object>",
         L"<object> width and height must be whole pixels from 1 to 8192"},
        {L"<object id=a classid=clsid:{1} width=50%></object>",
         L"<object> width and height must be whole pixels from 1 to 8192"},
        {L"<object id=a classid=clsid:{1}>", L"<object> is never closed"},
        {L"</object>", L"</object> without <object>"},
        {L"<param name=a value=b>", L"<param> outside <object>"},
        {L"<object id=a classid=clsid:{1}><param value=b></object>", L"<param> needs a name"},
        {L"<script>host.echo(1)", L"the script on line 1 is never closed"},
        {L"\n<script language=vbscript>x</script>", L"unsupported script language \"vbscript\""},
        {L"<script src=\"\"></script>", L"<script src> needs a file name"},
        {L"<!-- open", L"a comment is never closed"},
        {L"\n\n<object id=\"a", L"the tag on line 3 is never closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "markup #" << (&c - cases));
        EXPECT_EQ(parsePage(c.markup).error, c.error);
    }
}

TEST(PageTest, ScriptFromFile) {
    const PageParseResult result = parsePage(L"<script src=\"../lib/a.js\">ignored</script><script>b()</script>");
    ASSERT_EQ(result.error, L"");
    ASSERT_EQ(result.page.scripts.size(), 2u);
    EXPECT_EQ(result.page.scripts[0].source, L"../lib/a.js");
    EXPECT_EQ(result.page.scripts[0].code, L"");
    EXPECT_EQ(result.page.scripts[1].source, L"");
    EXPECT_EQ(result.page.scripts[1].code, L"b()");
}

TEST(PageTest, CharacterReferences) {
    struct Case {
        const wchar_t* text;
        const wchar_t* decoded;
    };
    const Case cases[] = {
        {L"a &amp; b", L"a & b"},
        {L"&lt;&gt;&quot;&apos;", L"<>\"'"},
        {L"&#65;&#x42;&#X43;", L"ABC"},
        {L"&#x1F600;", L"\U0001F600"},
        {L"&#0;&#xD800;&#99999999999;", L"\uFFFD\uFFFD\uFFFD"},
        {L"&unknown; &amp &#; &#xZZ;", L"&unknown; &amp &#; &#xZZ;"},
        {L"R&D", L"R&D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        EXPECT_EQ(decodeEntities(c.text), c.decoded);
    }
}

}  // namespace
}  // namespace pagehost
