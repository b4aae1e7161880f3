// The host's stdout: every line leaves at once as UTF-8, whatever the console code page.
#include "tools/pagehost/Output.h"

#include "tools/pagehost/Text.h"

#include <windows.h>

#include <string>

namespace pagehost {

void printLine(std::wstring_view text) {
    std::string bytes = toUtf8(text);
    bytes += '\n';
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(out, data, static_cast<DWORD>(left), &written, nullptr) || written == 0) {
            return;
        }
        data += written;
        left -= written;
    }
}

}  // namespace pagehost
