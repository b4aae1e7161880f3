// pagehost: a small browser-like container. It reads a page, embeds the page's <object>s and runs
// the page's scripts against them, printing what they echo.
// Usage: pagehost [--timeout SECONDS] [--url URL] [--trusted] PAGE
#include "tools/pagehost/DialogHook.h"
#include "tools/pagehost/HostObject.h"
#include "tools/pagehost/MessageLoop.h"
#include "tools/pagehost/Output.h"
#include "tools/pagehost/Page.h"
#include "tools/pagehost/PageWindow.h"
#include "tools/pagehost/ScriptRunner.h"
#include "tools/pagehost/Text.h"
#include "tools/pagehost/Watchdog.h"
#include "tools/pagehost/WinPath.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>
#include <optional>
#include <string>

namespace pagehost {
namespace {

enum ExitCode : int { kRan = 0, kScriptFailed = 1, kBadPage = 2, kNoControl = 3, kUnsafeControl = 4 };

constexpr DWORD kDefaultTimeoutSeconds = 120;
constexpr DWORD kMaxPageBytes = 16u << 20;
constexpr DWORD kMaxUrl = 2084;  // what browsers take

struct Options {
    DWORD timeoutSeconds = kDefaultTimeoutSeconds;
    std::wstring page;
    std::optional<std::wstring> url;  // the page's URL; its file URL when not given
    bool trusted = false;             // a trusted zone: no safety questions asked of the control
};

std::optional<Options> parseOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--timeout" && i + 1 < argc) {
            const unsigned long seconds = std::wcstoul(argv[++i], nullptr, 10);
            if (seconds == 0 || seconds > 24 * 3600) {
                return std::nullopt;
            }
            options.timeoutSeconds = static_cast<DWORD>(seconds);
        } else if (arg == L"--url" && i + 1 < argc) {
            options.url = argv[++i];
        } else if (arg == L"--trusted") {
            options.trusted = true;
        } else if (options.page.empty() && !arg.empty() && arg[0] != L'-') {
            options.page = arg;
        } else {
            return std::nullopt;
        }
    }
    if (options.page.empty()) {
        return std::nullopt;
    }
    return options;
}

struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

std::optional<std::string> readFile(const std::wstring& path) {
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::unique_ptr<void, HandleClose> file(handle);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || size.QuadPart > kMaxPageBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

// COM and OLE for this thread, in the single-threaded apartment a browser gives its controls.
class OleSession {
public:
    OleSession() : m_ok(SUCCEEDED(OleInitialize(nullptr))) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (m_ok) {
            OleUninitialize();
        }
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

int fail(int code, const std::wstring& message) {
    printLine(L"SCRIPT ERROR: " + message);
    return code;
}

std::wstring fileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// By the deepest drive: the folder pickers that walk to the page's files then pass only through
// the checkout's own drive, never through Z:\tmp, where other programs make and remove folders.
std::wstring folderOf(const std::wstring& path) {
    const std::wstring full = deepestDrivePath(windowsPath(path));
    const size_t slash = full.find_last_of(L'\\');
    return slash == std::wstring::npos ? full : full.substr(0, slash);
}

// file:///Z:/tmp/page.html: what a browser calls a page it opened from disk.
std::wstring fileUrl(const std::wstring& path) {
    wchar_t url[kMaxUrl];
    DWORD length = kMaxUrl;
    return SUCCEEDED(UrlCreateFromPathW(windowsPath(path).c_str(), url, &length, 0)) ? std::wstring(url) : L"";
}

// The module of a COM object: the one its interface's function table lies in.
HMODULE moduleOf(IUnknown* object) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(object), &module);
    return module;
}

// A browser frees a control's module only once the module says it may go, and its process
// outlives a closed page: a thread of the module may still be at work (an upload's cleanup after a
// stop deleting what it left on the server). The host gives such threads a bounded moment before
// the process ends, with the thread's messages dispatched meanwhile.
void waitForModules(const std::vector<HMODULE>& modules) {
    constexpr DWORD kBoundMs = 3000;
    const DWORD start = GetTickCount();
    for (HMODULE module : modules) {
        using CanUnload = HRESULT(STDAPICALLTYPE*)();
        const auto canUnload =
            reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        while (canUnload && canUnload() != S_OK && GetTickCount() - start < kBoundMs) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    return;
                }
                DispatchMessageW(&msg);
            }
        }
    }
}

int runPage(const Options& options) {
    const std::optional<std::string> bytes = readFile(options.page);
    if (!bytes) {
        return fail(kBadPage, L"cannot read the page " + options.page);
    }
    const PageParseResult parsed = parsePage(fromUtf8(*bytes));
    if (!parsed.error.empty()) {
        return fail(kBadPage, fileName(options.page) + L": " + parsed.error);
    }
    Page page = parsed.page;
    // Scripts from files, relative to the page's folder.
    for (auto& script : page.scripts) {
        if (script.source.empty()) {
            continue;
        }
        std::wstring relative = script.source;
        for (auto& ch : relative) {
            ch = ch == L'/' ? L'\\' : ch;
        }
        const std::optional<std::string> code = readFile(folderOf(options.page) + L"\\" + relative);
        if (!code) {
            return fail(kBadPage, fileName(options.page) + L": cannot read the script " + script.source);
        }
        script.code = fromUtf8(*code);
    }

    const OleSession ole;
    if (!ole.ok()) {
        return fail(kNoControl, L"OLE cannot be started");
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    DialogHook dialogs;  // before the control: it may show a message box while it loads
    if (!dialogs.installed()) {
        return fail(kNoControl, L"dialogs cannot be watched (no hook)");
    }
    Watchdog watchdog(options.timeoutSeconds);

    std::vector<HMODULE> modules;
    bool ran = false;
    {
        PageWindow window;
        const PageZone zone{options.url ? *options.url : fileUrl(options.page), !options.trusted};
        if (std::wstring error = window.open(page, L"pagehost - " + fileName(options.page), zone); !error.empty()) {
            return fail(window.refusedAsUnsafe() ? kUnsafeControl : kNoControl, error);
        }
        std::vector<NamedItem> items;
        for (const auto& placed : window.controls()) {
            items.push_back({placed.id, fw::ComPtr<IDispatch>(placed.control->dispatch()), true});
            modules.push_back(moduleOf(placed.control->dispatch()));
        }
        ScriptFailure failure;
        HostContext context{&window, &dialogs, folderOf(options.page), &watchdog, &failure};
        items.push_back({L"host", HostObject::create(context), false});

        ran = runScripts(page.scripts, items, window, failure);
        takeWaitingQuit();  // what a browser's outermost loop would have taken
        items.clear();
    }
    waitForModules(modules);
    return ran ? kRan : kScriptFailed;
}

}  // namespace
}  // namespace pagehost

int wmain(int argc, wchar_t** argv) {
    const auto options = pagehost::parseOptions(argc, argv);
    if (!options) {
        pagehost::printLine(L"SCRIPT ERROR: usage: pagehost [--timeout SECONDS] [--url URL] [--trusted] PAGE.html");
        return pagehost::kBadPage;
    }
    return pagehost::runPage(*options);
}
