// libFuzzer target: arbitrary UTF-16 text as a page for the page host's reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/pagehost/Page.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Pages reach the reader as UTF-16 code units, as on Windows.
    std::wstring markup;
    for (std::size_t i = 0; i + 1 < size; i += 2) markup.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));

    // A character reference never makes a text longer.
    Require(pagehost::decodeEntities(markup).size() <= markup.size());

    const pagehost::PageParseResult result = pagehost::parsePage(markup);
    if (!result.error.empty()) return 0;
    std::size_t lines = 0;
    for (const wchar_t ch : markup) lines += ch == L'\n' ? 1 : 0;
    for (const pagehost::PageScript& script : result.page.scripts) {
        Require(script.line <= lines && script.code.size() <= markup.size());
    }
    if (result.page.object) {
        const pagehost::PageObject& object = *result.page.object;
        Require(!object.id.empty() && object.id != L"host");
        Require(object.width >= 1 && object.width <= 8192 && object.height >= 1 && object.height <= 8192);
        for (const pagehost::PageParam& param : object.params) Require(!param.name.empty());
    }
    return 0;
}
