// The host's stdout and stderr: every line leaves at once as UTF-8, whatever the console code page.
#include "tools/pagehost/Output.h"

#include "tools/pagehost/Text.h"

#include <windows.h>

#include <string>

namespace pagehost {
namespace {

void writeLine(DWORD stream, std::wstring_view text) {
    std::string bytes = toUtf8(text);
    bytes += '\n';
    const HANDLE out = GetStdHandle(stream);
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

}  // namespace

void printLine(std::wstring_view text) { writeLine(STD_OUTPUT_HANDLE, text); }

void printError(std::wstring_view text) { writeLine(STD_ERROR_HANDLE, text); }

}  // namespace pagehost
