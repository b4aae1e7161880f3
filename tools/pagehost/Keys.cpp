// Keys pressed as a browser hands them to a control (see Keys.h).
#include "tools/pagehost/Keys.h"

#include "tools/pagehost/HostError.h"

#include <cwctype>
#include <vector>

namespace pagehost {
namespace {

struct Key {
    const wchar_t* name;
    WORD code;
};
constexpr Key kKeys[] = {
    {L"ctrl", VK_CONTROL},  {L"shift", VK_SHIFT}, {L"alt", VK_MENU},    {L"enter", VK_RETURN},
    {L"delete", VK_DELETE}, {L"tab", VK_TAB},     {L"space", VK_SPACE}, {L"escape", VK_ESCAPE},
    {L"up", VK_UP},         {L"down", VK_DOWN},   {L"home", VK_HOME},   {L"end", VK_END},
};

WORD codeOf(const std::wstring& name) {
    if (name.size() == 1 && iswalnum(name[0])) {
        return static_cast<WORD>(towupper(name[0]));
    }
    for (const Key& key : kKeys) {
        if (name == key.name) {
            return key.code;
        }
    }
    throw HostError(L"host.key does not know the key \"" + name + L"\"");
}

void deliver(HWND window, UINT message, WORD code, IOleInPlaceActiveObject* control) {
    const UINT scan = MapVirtualKeyW(code, MAPVK_VK_TO_VSC);
    const LPARAM flags = message == WM_KEYUP ? (3u << 30) : 0;
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = code;
    msg.lParam = 1 | (static_cast<LPARAM>(scan) << 16) | flags;
    msg.time = GetMessageTime();
    if (control && control->TranslateAccelerator(&msg) == S_OK) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

void pressKeys(HWND window, const std::wstring& keys, IOleInPlaceActiveObject* control) {
    std::vector<WORD> codes;
    for (size_t start = 0;;) {
        const size_t plus = keys.find(L'+', start);
        codes.push_back(codeOf(keys.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start)));
        if (plus == std::wstring::npos) {
            break;
        }
        start = plus + 1;
    }
    // A click gives the list the focus; not while a modal dialog keeps input from the page (the
    // keys still come, as a container that passed them on would hand them over).
    if (IsWindowEnabled(GetAncestor(window, GA_ROOT))) {
        SetFocus(window);
    }
    BYTE before[256] = {};
    GetKeyboardState(before);
    BYTE held[256];
    for (int i = 0; i < 256; ++i) {
        held[i] = before[i];
    }
    // The modifiers are held while the last key goes down and up.
    for (size_t i = 0; i + 1 < codes.size(); ++i) {
        held[codes[i]] = 0x80;
    }
    SetKeyboardState(held);
    deliver(window, WM_KEYDOWN, codes.back(), control);
    deliver(window, WM_KEYUP, codes.back(), control);
    SetKeyboardState(before);
}

}  // namespace pagehost
