// The page model and its parser: <object>s with <param> children and <script> blocks of a small
// HTML subset; everything else in the markup is skipped.
#include "tools/pagehost/Page.h"

#include <cwctype>
#include <utility>

namespace pagehost {
namespace {

constexpr std::wstring_view kSpace = L" \t\r\n\f";
constexpr int kMaxExtent = 8192;
constexpr std::wstring_view kHostName = L"host";

struct Entity {
    std::wstring_view name;
    wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L'\u00A0'},
};

constexpr std::wstring_view kScriptLanguages[] = {
    L"", L"jscript", L"javascript", L"text/javascript", L"text/jscript", L"application/javascript",
};

bool isSpace(wchar_t ch) { return kSpace.find(ch) != std::wstring_view::npos; }

// Markup names compare without regard to ASCII case. (Kept here rather than shared so that the
// reader builds without Windows headers, for its fuzz target.)
std::wstring markupLower(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& ch : out) {
        if (ch >= L'A' && ch <= L'Z') {
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        }
    }
    return out;
}

bool startsWithNoCase(std::wstring_view text, size_t pos, std::wstring_view prefix) {
    return text.size() - pos >= prefix.size() && markupLower(text.substr(pos, prefix.size())) == prefix;
}

void appendCodePoint(std::wstring& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        out += L'\uFFFD';
    } else if (code >= 0x10000) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

// Decodes one reference starting at text[pos] == '&'; returns the characters consumed or 0.
size_t decodeReference(std::wstring_view text, size_t pos, std::wstring& out) {
    // A reference is short: look no further for its end (a text full of '&' stays linear).
    const size_t semicolon = text.substr(0, pos + 33).find(L';', pos);
    if (semicolon == std::wstring_view::npos) {
        return 0;
    }
    const std::wstring_view body = text.substr(pos + 1, semicolon - pos - 1);
    if (body.size() >= 2 && body[0] == L'#') {
        const bool hex = body[1] == L'x' || body[1] == L'X';
        const std::wstring digits(body.substr(hex ? 2 : 1));
        if (digits.empty()) {
            return 0;
        }
        unsigned long code = 0;
        for (const wchar_t ch : digits) {
            const int digit = std::iswdigit(ch)                 ? ch - L'0'
                              : hex && ch >= L'a' && ch <= L'f' ? ch - L'a' + 10
                              : hex && ch >= L'A' && ch <= L'F' ? ch - L'A' + 10
                                                                : -1;
            if (digit < 0) {
                return 0;
            }
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
            if (code > 0x10FFFF) {
                code = 0x110000;  // stays out of range however many digits follow
            }
        }
        appendCodePoint(out, code);
        return semicolon - pos + 1;
    }
    for (const auto& entity : kEntities) {
        if (body == entity.name) {
            out += entity.value;
            return semicolon - pos + 1;
        }
    }
    return 0;
}

struct Attribute {
    std::wstring name;  // lower case
    std::wstring value;
};

struct Tag {
    std::wstring name;  // lower case
    bool closing = false;
    std::vector<Attribute> attributes;
    size_t end = 0;  // index just past '>'

    const std::wstring* attribute(std::wstring_view wanted) const {
        for (const auto& attr : attributes) {
            if (attr.name == wanted) {
                return &attr.value;
            }
        }
        return nullptr;
    }
};

// Reads the tag whose '<' is at text[pos]. Returns false when the tag never ends.
bool readTag(std::wstring_view text, size_t pos, Tag& tag) {
    size_t i = pos + 1;
    if (i < text.size() && text[i] == L'/') {
        tag.closing = true;
        ++i;
    }
    const size_t nameStart = i;
    while (i < text.size() && (std::iswalnum(text[i]) || text[i] == L'-' || text[i] == L':')) {
        ++i;
    }
    tag.name = markupLower(text.substr(nameStart, i - nameStart));
    for (;;) {
        while (i < text.size() && (isSpace(text[i]) || text[i] == L'/')) {
            ++i;
        }
        if (i >= text.size()) {
            return false;
        }
        if (text[i] == L'>') {
            tag.end = i + 1;
            return true;
        }
        const size_t attrStart = i;
        while (i < text.size() && !isSpace(text[i]) && text[i] != L'=' && text[i] != L'>' && text[i] != L'/') {
            ++i;
        }
        Attribute attr{markupLower(text.substr(attrStart, i - attrStart)), {}};
        while (i < text.size() && isSpace(text[i])) {
            ++i;
        }
        if (i < text.size() && text[i] == L'=') {
            ++i;
            while (i < text.size() && isSpace(text[i])) {
                ++i;
            }
            if (i >= text.size()) {
                return false;
            }
            size_t valueStart = i;
            size_t valueEnd = 0;
            if (text[i] == L'"' || text[i] == L'\'') {
                valueStart = i + 1;
                valueEnd = text.find(text[i], valueStart);
                if (valueEnd == std::wstring_view::npos) {
                    return false;
                }
                i = valueEnd + 1;
            } else {
                while (i < text.size() && !isSpace(text[i]) && text[i] != L'>') {
                    ++i;
                }
                valueEnd = i;
            }
            attr.value = decodeEntities(text.substr(valueStart, valueEnd - valueStart));
        }
        tag.attributes.push_back(std::move(attr));
    }
}

bool parseExtent(const std::wstring* text, int& extent) {
    if (!text) {
        return true;
    }
    std::wstring_view digits(*text);
    if (digits.size() > 2 && markupLower(digits.substr(digits.size() - 2)) == L"px") {
        digits.remove_suffix(2);
    }
    if (digits.empty() || digits.size() > 5) {
        return false;
    }
    int value = 0;
    for (const wchar_t ch : digits) {
        if (ch < L'0' || ch > L'9') {
            return false;
        }
        value = value * 10 + (ch - L'0');
    }
    if (value < 1 || value > kMaxExtent) {
        return false;
    }
    extent = value;
    return true;
}

class Parser {
public:
    explicit Parser(std::wstring_view text) : m_text(text) {}

    PageParseResult run() {
        PageParseResult result;
        result.error = parse();
        if (result.error.empty() && m_inObject) {
            result.error = L"<object> is never closed";
        }
        result.page = std::move(m_page);
        return result;
    }

private:
    std::wstring parse() {
        size_t pos = 0;
        while ((pos = m_text.find(L'<', pos)) != std::wstring_view::npos) {
            if (m_text.substr(pos, 4) == L"<!--") {
                const size_t end = m_text.find(L"-->", pos + 4);
                if (end == std::wstring_view::npos) {
                    return L"a comment is never closed";
                }
                pos = end + 3;
                continue;
            }
            if (pos + 1 < m_text.size() && (m_text[pos + 1] == L'!' || m_text[pos + 1] == L'?')) {
                const size_t end = m_text.find(L'>', pos);
                if (end == std::wstring_view::npos) {
                    return L"a declaration is never closed";
                }
                pos = end + 1;
                continue;
            }
            Tag tag;
            if (!readTag(m_text, pos, tag)) {
                return L"the tag on line " + std::to_wstring(lineAt(pos) + 1) + L" is never closed";
            }
            if (tag.name.empty()) {
                ++pos;  // a lone '<' in text
                continue;
            }
            std::wstring error = tag.closing ? closeTag(tag) : openTag(tag, pos);
            if (!error.empty()) {
                return error;
            }
            pos = m_resume ? std::exchange(m_resume, 0) : tag.end;
        }
        return {};
    }

    std::wstring openTag(const Tag& tag, size_t pos) {
        if (tag.name == L"object") {
            return openObject(tag);
        }
        if (tag.name == L"param") {
            return addParam(tag);
        }
        if (tag.name == L"script") {
            return addScript(tag, pos);
        }
        return {};
    }

    std::wstring closeTag(const Tag& tag) {
        if (tag.name == L"object") {
            if (!m_inObject) {
                return L"</object> without <object>";
            }
            m_inObject = false;
        }
        return {};
    }

    std::wstring openObject(const Tag& tag) {
        if (m_inObject) {
            return L"<object> inside another <object>";
        }
        if (m_page.objects().size() == kMaxPageObjects) {
            return L"a page holds at most " + std::to_wstring(kMaxPageObjects) + L" <object>s";
        }
        PageObject object;
        const std::wstring* id = tag.attribute(L"id");
        const std::wstring* classId = tag.attribute(L"classid");
        if (!id || id->empty()) {
            return L"<object> needs an id";
        }
        if (!classId || !startsWithNoCase(*classId, 0, L"clsid:")) {
            return L"<object> needs a classid of the form clsid:{GUID}";
        }
        if (*id == kHostName) {
            return L"the id \"host\" belongs to the host object";
        }
        for (const PageObject* earlier : m_page.objects()) {
            if (earlier->id == *id) {
                return L"two <object>s have the id \"" + *id + L"\"";
            }
        }
        object.id = *id;
        object.classId = classId->substr(6);
        if (!object.classId.empty() && object.classId.front() != L'{') {
            object.classId = L"{" + object.classId + L"}";
        }
        if (!parseExtent(tag.attribute(L"width"), object.width) ||
            !parseExtent(tag.attribute(L"height"), object.height)) {
            return L"<object> width and height must be whole pixels from 1 to " + std::to_wstring(kMaxExtent);
        }
        if (m_page.object) {
            m_page.laterObjects.push_back(std::move(object));
        } else {
            m_page.object = std::move(object);
        }
        m_inObject = true;
        return {};
    }

    std::wstring addParam(const Tag& tag) {
        if (!m_inObject) {
            return L"<param> outside <object>";
        }
        const std::wstring* name = tag.attribute(L"name");
        if (!name || name->empty()) {
            return L"<param> needs a name";
        }
        const std::wstring* value = tag.attribute(L"value");
        PageObject& object = m_page.laterObjects.empty() ? *m_page.object : m_page.laterObjects.back();
        object.params.push_back({*name, value ? *value : std::wstring()});
        return {};
    }

    std::wstring addScript(const Tag& tag, size_t pos) {
        const std::wstring* source = tag.attribute(L"src");
        if (source && source->empty()) {
            return L"<script src> needs a file name";
        }
        const std::wstring* language = tag.attribute(L"language");
        if (!language) {
            language = tag.attribute(L"type");
        }
        if (language) {
            const std::wstring lower = markupLower(*language);
            bool known = false;
            for (const auto name : kScriptLanguages) {
                known = known || lower == name;
            }
            if (!known) {
                return L"unsupported script language \"" + *language + L"\"";
            }
        }
        size_t end = tag.end;
        while ((end = m_text.find(L"</", end)) != std::wstring_view::npos &&
               !startsWithNoCase(m_text, end, L"</script")) {
            ++end;
        }
        if (end == std::wstring_view::npos) {
            return L"the script on line " + std::to_wstring(lineAt(pos) + 1) + L" is never closed";
        }
        const size_t close = m_text.find(L'>', end);
        if (close == std::wstring_view::npos) {
            return L"</script> is never closed";
        }
        // A script from a file runs instead of the block's own text, as in a browser.
        m_page.scripts.push_back({source ? std::wstring() : std::wstring(m_text.substr(tag.end, end - tag.end)),
                                  lineAt(tag.end), source ? *source : std::wstring()});
        m_resume = close + 1;
        return {};
    }

    unsigned lineAt(size_t pos) {
        // Pages are read front to back, so counting resumes where it stopped.
        if (pos < m_linePos) {
            m_linePos = 0;
            m_line = 0;
        }
        for (; m_linePos < pos; ++m_linePos) {
            m_line += m_text[m_linePos] == L'\n' ? 1u : 0u;
        }
        return m_line;
    }

    std::wstring_view m_text;
    Page m_page;
    bool m_inObject = false;
    size_t m_resume = 0;
    size_t m_linePos = 0;
    unsigned m_line = 0;
};

}  // namespace

std::vector<const PageObject*> Page::objects() const {
    std::vector<const PageObject*> all;
    if (object) {
        all.push_back(&*object);
    }
    for (const auto& later : laterObjects) {
        all.push_back(&later);
    }
    return all;
}

std::wstring decodeEntities(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == L'&') {
            if (const size_t used = decodeReference(text, i, out)) {
                i += used;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

PageParseResult parsePage(std::wstring_view markup) {
    if (!markup.empty() && markup.front() == L'\uFEFF') {
        markup.remove_prefix(1);
    }
    return Parser(markup).run();
}

}  // namespace pagehost
