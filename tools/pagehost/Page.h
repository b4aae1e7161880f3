// The page model and its parser: <object>s with <param> children and <script> blocks of a small
// HTML subset; everything else in the markup is skipped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pagehost {

struct PageParam {
    std::wstring name;
    std::wstring value;
};

struct PageObject {
    std::wstring id;
    std::wstring classId;  // "{...}" without the "clsid:" scheme
    int width = 400;
    int height = 240;
    std::vector<PageParam> params;
};

struct PageScript {
    std::wstring code;
    unsigned line = 0;    // zero-based line of the page on which the code starts
    std::wstring source;  // <script src>: a file relative to the page, read before the page runs
};

// The host lays a page's controls out side by side in one window: a page with more than a few is
// taken for a mistake.
constexpr std::size_t kMaxPageObjects = 8;

struct Page {
    // The first <object>: the one whose list the host's members look into.
    std::optional<PageObject> object;
    // The <object>s after it, in document order.
    std::vector<PageObject> laterObjects;
    std::vector<PageScript> scripts;

    // Every <object> in document order.
    std::vector<const PageObject*> objects() const;
};

struct PageParseResult {
    Page page;
    std::wstring error;  // empty when the page was understood
};

PageParseResult parsePage(std::wstring_view markup);

// Replaces character references (&amp; &lt; &#44032; &#xAC00; ...) in an attribute value.
std::wstring decodeEntities(std::wstring_view text);

}  // namespace pagehost
