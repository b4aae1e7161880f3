// Which paths a page may name: full paths as Windows resolves them, judged on both builds; under
// Windows also the page's own spellings through the resolution itself.
#include "framework/LocalPath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// A path of the given length: "X:\" (or a prefix and "X:\") and then folders of 100 letters.
std::wstring LongPath(std::wstring start, std::size_t length) {
    while (start.size() < length) start += (start.size() % 101 == 100) ? L'\\' : L'a';
    return start;
}

TEST(LocalPath, OnlyAPathOnADriveIsTaken) {
    const struct {
        std::wstring resolved;
        bool drive;
    } rows[] = {
        {L"C:\\dir\\a.txt", true},
        {L"z:\\", true},
        {L"C:\\dir\\", true},              // a folder, as GetFullPathNameW leaves its closing "\"
        {L"\\\\?\\C:\\dir\\a.txt", true},  // the long form
        {L"\\\\.\\C:\\dir\\a.txt", true},
        {L"C:\\dir\\a.txt::$DATA", true},  // a stream of the file
        {L"C:\\dir\\.profile", true},
        {L"C:\\dir\\..a\\b", true},
        {L"C:\\CON\\a.txt", true},  // a device name counts only at the end
        {L"C:\\dir\\CONSOLE.txt", true},
        {L"C:\\dir\\COM10", true},
        {L"C:\\한글\\파일.txt", true},
        {LongPath(L"C:\\", 32763), true},
        {LongPath(L"\\\\?\\C:\\", 32767), true},
        // Other machines and namespaces.
        {L"\\\\host\\share\\a.txt", false},
        {L"\\\\?\\UNC\\host\\share\\a.txt", false},
        {L"\\\\.\\UNC\\host\\share\\a.txt", false},
        {L"\\\\?\\GLOBALROOT\\Device\\Mup\\host\\share\\a.txt", false},
        {L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\a.txt", false},
        {L"\\\\;LanmanRedirector\\host\\share\\a.txt", false},
        {L"\\??\\UNC\\host\\share\\a.txt", false},
        {L"Z:\\??\\UNC\\host\\share\\a.txt", false},  // what GetFullPathNameW makes of "\??\UNC\..."
        // Devices.
        {L"\\\\.\\CON", false},
        {L"\\\\.\\pipe\\x", false},
        {L"\\\\.\\C:", false},  // the volume, not its root
        {L"\\\\?\\C:", false},
        {L"\\\\.\\", false},
        {L"C:\\dir\\NUL", false},
        {L"C:\\dir\\con .txt", false},
        {L"C:\\dir\\COM1.log", false},
        {L"C:\\dir\\lpt9", false},
        {L"C:\\dir\\conout$", false},
        {L"C:\\dir\\AUX:stream", false},
        {L"C:\\dir\\COM\u00B9", false},
        {L"C:\\dir\\PRN\\", false},
        // What the system could still resolve another way when it opens the path.
        {L"\\\\?\\C:\\..\\UNC\\host\\share\\a.txt", false},  // Windows leaves ".." in the long form
        {L"\\\\?\\C:\\dir\\.\\a.txt", false},
        {L"\\\\.\\C:\\dir\\...\\a.txt", false},  // "..." is trimmed to ".." on a second reading
        {L"C:\\dir\\. \\a.txt", false},
        {L"C:\\dir\\ \\a.txt", false},
        {L"C:\\dir\\\\a.txt", false},
        {L"\\\\?\\C:\\\\", false},
        {L"\\\\?\\C:\\dir/a.txt", false},
        {L"C:/dir/a.txt", false},
        {L"\\/host/share/a.txt", false},
        {L"C:\\dir\\*.txt", false},
        {L"C:\\dir\\a?.txt", false},
        {L"C:\\dir\\a<b", false},
        {L"C:\\dir\\a\"b", false},
        {L"C:\\dir\\a|b", false},
        {L"C:\\dir\\a\tb", false},
        {L"C:\\a.txt\0\\\\host\\share"s, false},
        // Not full paths at all.
        {L"C:a.txt", false},
        {L"\\dir\\a.txt", false},
        {L"a.txt", false},
        {L"1:\\a.txt", false},
        {L"", false},
        {LongPath(L"C:\\", 32764), false},
        {LongPath(L"\\\\?\\C:\\", 32768), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.resolved.substr(0, 80)));
        EXPECT_EQ(fw::IsDrivePath(row.resolved), row.drive);
    }
}

#ifdef _WIN32
// The page's spellings through GetFullPathNameW: what is kept (the text the list stores), or
// nothing. The rows do not depend on the current folder.
TEST(LocalPath, APagesPathIsJudgedAsWindowsResolvesIt) {
    const std::wstring longPath = LongPath(L"C:\\", 300);
    const struct {
        std::wstring given;
        const wchar_t* kept;
    } rows[] = {
        {L"C:\\windows\\win.ini", L"C:\\windows\\win.ini"},
        {L"C:/windows/../windows/./win.ini", L"C:\\windows\\win.ini"},
        {L"C:\\windows\\win.ini. ", L"C:\\windows\\win.ini"},
        {L"\\\\?\\C:\\windows\\win.ini", L"\\\\?\\C:\\windows\\win.ini"},
        {L"\\\\.\\C:\\windows\\win.ini", L"\\\\.\\C:\\windows\\win.ini"},
        {longPath, longPath.c_str()},
        {L"\\\\host\\share\\a.txt", nullptr},
        {L"//host/share/a.txt", nullptr},
        {L"\\/host/share/a.txt", nullptr},
        {L"\\\\?\\UNC\\host\\share\\a.txt", nullptr},
        {L"\\\\.\\UNC\\host\\share\\a.txt", nullptr},
        {L"\\??\\UNC\\host\\share\\a.txt", nullptr},
        {L"\\\\.\\C:\\..\\UNC\\host\\share\\a.txt", nullptr},
        {L"//./C:/../UNC/host/share/a.txt", nullptr},
        {L"\\\\.\\C:\\dir\\..\\..\\UNC\\host\\share\\a.txt", nullptr},
        {L"\\\\?\\C:\\..\\UNC\\host\\share\\a.txt", nullptr},
        {L"\\\\?\\GLOBALROOT\\Device\\Mup\\host\\share\\a.txt", nullptr},
        {L"C:\\dir\\...\\a.txt", nullptr},
        {L"CON", nullptr},
        {L"C:\\x\\NUL", nullptr},
        {L"COM1.txt", nullptr},
        {L"con:", nullptr},
        {L"\\\\.\\C:", nullptr},
        {L"\\\\.\\C:\\..", nullptr},
        {L"", nullptr},
        {L"C:\\windows\\win.ini\0\\\\host\\share"s, nullptr},
        {LongPath(L"C:\\", 40000), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.given.substr(0, 80)));
        const auto kept = fw::ResolveDrivePath(row.given);
        EXPECT_EQ(kept.value_or(L"(refused)"), row.kept ? row.kept : L"(refused)");
    }
}
#endif

}  // namespace
