// The page's `host` object: a dispatch interface over a table of members that print, pump
// messages, look into the first control's list view, arrange dialog answers, take screenshots
// and end the page the way a browser's user or thread does.
#include "tools/pagehost/HostObject.h"

#include "framework/Dpi.h"
#include "tools/pagehost/ContainerSite.h"
#include "tools/pagehost/DebugOutput.h"
#include "tools/pagehost/DialogProbes.h"
#include "tools/pagehost/Fixtures.h"
#include "tools/pagehost/HostError.h"
#include "tools/pagehost/Keys.h"
#include "tools/pagehost/ListView.h"
#include "tools/pagehost/MessageLoop.h"
#include "tools/pagehost/OleValues.h"
#include "tools/pagehost/Output.h"
#include "tools/pagehost/PageWindow.h"
#include "tools/pagehost/Screenshot.h"
#include "tools/pagehost/ShellDrop.h"
#include "tools/pagehost/Text.h"
#include "tools/pagehost/WinPath.h"

#include <cstdint>
#include <cwchar>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pagehost {
namespace {

constexpr DWORD kMaxPumpMs = 10 * 60 * 1000;
constexpr unsigned kAnyCount = 64;

using Result = std::variant<std::monostate, long, std::wstring>;

// The arguments of one call, in the order the script wrote them.
class Args {
public:
    Args(std::wstring_view member, const DISPPARAMS& params) : m_member(member), m_params(params) {}

    unsigned size() const { return m_params.cArgs; }

    const VARIANT& at(unsigned index) const { return m_params.rgvarg[m_params.cArgs - 1 - index]; }

    std::wstring text(unsigned index) const { return scriptValueText(at(index)); }

    long integer(unsigned index) const {
        Variant number;
        if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&at(index)), 0, VT_I4))) {
            throw HostError(L"argument " + std::to_wstring(index + 1) + L" of host." + std::wstring(m_member) +
                            L" must be a number");
        }
        return number->lVal;
    }

    int index(unsigned position) const { return static_cast<int>(integer(position)); }

    // A count of bytes: script numbers are doubles, exact up to 2^53.
    std::uint64_t byteCount(unsigned index) const {
        Variant number;
        if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&at(index)), 0, VT_R8)) ||
            !(number->dblVal >= 0 && number->dblVal <= 9007199254740992.0)) {
            throw HostError(L"argument " + std::to_wstring(index + 1) + L" of host." + std::wstring(m_member) +
                            L" must be a count of bytes");
        }
        return static_cast<std::uint64_t>(number->dblVal);
    }

private:
    std::wstring_view m_member;
    const DISPPARAMS& m_params;
};

struct Member {
    std::wstring_view name;
    unsigned minArgs;
    unsigned maxArgs;
    Result (*run)(const HostContext& context, const Args& args);
    bool needsPage = false;  // works on the page's window or list: fails once the page is closed
};
constexpr bool kNeedsPage = true;

HWND frame(const HostContext& context) { return context.page ? context.page->frame() : nullptr; }

HWND controlWindow(const HostContext& context) { return context.page ? context.page->firstControlWindow() : nullptr; }

// Looked up on every call: a control may build its list window anew (a change of view).
ListView list(const HostContext& context) { return ListView(findListWindow(controlWindow(context))); }

DialogAnswers& answers(const HostContext& context) { return context.dialogs->answers(); }

struct ButtonName {
    std::wstring_view name;
    int id;
};
constexpr ButtonName kButtons[] = {
    {L"ok", IDOK},       {L"cancel", IDCANCEL}, {L"yes", IDYES},       {L"no", IDNO},
    {L"abort", IDABORT}, {L"retry", IDRETRY},   {L"ignore", IDIGNORE},
};

// The folder part and the name part of a Windows path.
std::pair<std::wstring, std::wstring> splitPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 == path.size()) {
        throw HostError(L"\"" + path + L"\" does not name a file in a folder");
    }
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') {
        folder += L'\\';
    }
    return {folder, path.substr(slash + 1)};
}

Result echo(const HostContext&, const Args& args) {
    std::wstring line;
    for (unsigned i = 0; i < args.size(); ++i) {
        line += (i ? L" " : L"") + args.text(i);
    }
    printLine(line);
    return {};
}

Result pump(const HostContext&, const Args& args) {
    const long ms = args.integer(0);
    if (ms < 0 || static_cast<DWORD>(ms) > kMaxPumpMs) {
        throw HostError(L"host.pump takes 0 to " + std::to_wstring(kMaxPumpMs) + L" milliseconds");
    }
    pumpMessages(static_cast<DWORD>(ms));
    return {};
}

Result rowCount(const HostContext& context, const Args&) { return long{list(context).rowCount()}; }

Result cell(const HostContext& context, const Args& args) { return list(context).cell(args.index(0), args.index(1)); }

Result image(const HostContext& context, const Args& args) { return long{list(context).image(args.index(0))}; }

Result rowsDigest(const HostContext& context, const Args& args) {
    return list(context).rowsDigest(args.size() > 0 ? args.text(0) : std::wstring());
}

Result select(const HostContext& context, const Args& args) {
    list(context).select(args.index(0));
    return {};
}

Result deselect(const HostContext& context, const Args&) {
    list(context).deselect();
    return {};
}

Result selected(const HostContext& context, const Args&) { return list(context).selectedRows(); }

Result doubleClick(const HostContext& context, const Args& args) {
    list(context).doubleClick(args.index(0));
    return {};
}

Result view(const HostContext& context, const Args&) { return list(context).view(); }

Result columnCount(const HostContext& context, const Args&) { return long{list(context).columnCount()}; }

Result columnText(const HostContext& context, const Args& args) { return list(context).columnText(args.index(0)); }

Result columnWidth(const HostContext& context, const Args& args) {
    return long{list(context).columnWidth(args.index(0))};
}

Result listStyle(const HostContext& context, const Args&) { return static_cast<long>(list(context).extendedStyle()); }

Result background(const HostContext& context, const Args&) {
    wchar_t text[8];
    std::swprintf(text, 8, L"%06lX", list(context).backgroundColor());
    return std::wstring(text);
}

Result answer(const HostContext& context, const Args& args) {
    const std::wstring wanted = asciiLower(args.text(0));
    for (const auto& button : kButtons) {
        if (wanted == button.name) {
            answers(context).messageBoxButton = button.id;
            return {};
        }
    }
    throw HostError(L"host.answer does not know the button \"" + args.text(0) + L"\"");
}

Result pickFiles(const HostContext& context, const Args& args) {
    DialogAnswers& arranged = answers(context);
    arranged.fileFolder.reset();
    arranged.fileNames.clear();
    std::wstring folder;
    std::vector<std::wstring> names;
    for (unsigned i = 0; i < args.size(); ++i) {
        auto [itsFolder, name] = splitPath(windowsPath(args.text(i)));
        if (i > 0 && lstrcmpiW(itsFolder.c_str(), folder.c_str()) != 0) {
            throw HostError(L"host.pickFiles: the dialog picks files of one folder only");
        }
        folder = std::move(itsFolder);
        names.push_back(std::move(name));
    }
    if (!names.empty()) {
        arranged.fileFolder = folder;
        arranged.fileNames = std::move(names);
    }
    return {};
}

Result pickFolder(const HostContext& context, const Args& args) {
    DialogAnswers& arranged = answers(context);
    arranged.folder.reset();
    if (args.size() > 0) {
        arranged.folder = windowsPath(args.text(0));
    }
    return {};
}

Result press(const HostContext& context, const Args& args) {
    context.dialogs->pressWhenShown(args.size() > 0 ? args.text(0) : std::wstring());
    return {};
}

// Settings a test run hands to its pages (a server's port, a folder of fixtures).
Result environment(const HostContext&, const Args& args) {
    const std::wstring name = args.text(0);
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
    return value;
}

Result timeLimit(const HostContext& context, const Args& args) {
    const long seconds = args.integer(0);
    if (seconds < 1 || seconds > 24 * 3600) {
        throw HostError(L"host.timeLimit takes 1 to 86400 seconds");
    }
    context.watchdog->restart(static_cast<DWORD>(seconds));
    return {};
}

Result screenshot(const HostContext& context, const Args& args) {
    const std::wstring path = windowsPath(args.text(0));
    if (std::wstring error = saveWindowPng(frame(context), path); !error.empty()) {
        throw HostError(L"host.screenshot: " + error);
    }
    return {};
}

Result winPath(const HostContext&, const Args& args) { return windowsPath(args.text(0)); }

// Files that sit beside the page, whatever the current folder: pagePath("files/a.txt").
Result pagePath(const HostContext& context, const Args& args) {
    std::wstring relative = args.text(0);
    for (auto& ch : relative) {
        ch = ch == L'/' ? L'\\' : ch;
    }
    return windowsPath(context.pageFolder + L"\\" + relative);
}

// Probes of the dialog machinery itself, for the host's own pages.
bool wantsAnsi(const Args& args) {
    if (args.size() == 0) {
        return false;
    }
    if (args.text(0) != L"ansi") {
        throw HostError(L"the probes take no argument or \"ansi\"");
    }
    return true;
}

// The upload dialog: act when its status line first contains a text; read its log and its times.
// The action is a name or a script function, which the host then calls while the dialog runs;
// a named action may come a number of milliseconds after the match.
Result onStatus(const HostContext& context, const Args& args) {
    const VARIANT& given = args.at(1);
    fw::ComPtr<IDispatch> function;
    UploadAction action{};
    if (given.vt == VT_DISPATCH && given.pdispVal) {
        function = fw::ComPtr<IDispatch>(given.pdispVal);
        action = UploadAction::Call;
    } else if (!UploadWatch::parseAction(args.text(1), action)) {
        throw HostError(L"host.onStatus does not know the action \"" + args.text(1) +
                        L"\" (stop, log, end, close or a function)");
    }
    const std::wstring text = args.text(0);
    if (text.empty()) {
        throw HostError(L"host.onStatus needs a text to wait for");
    }
    const long delayMs = args.size() > 2 ? args.integer(2) : 0;
    if (delayMs < 0 || delayMs > static_cast<long>(kMaxPumpMs)) {
        throw HostError(L"host.onStatus: the delay is 0 to " + std::to_wstring(kMaxPumpMs) + L" ms");
    }
    if (delayMs > 0 && function) {
        throw HostError(L"host.onStatus: a function runs on the page's thread and takes no delay");
    }
    context.dialogs->upload().arrange(text, action, std::move(function), context.failure, static_cast<DWORD>(delayMs));
    return {};
}

Result uploadLog(const HostContext& context, const Args&) { return context.dialogs->upload().log(); }

Result uploadBars(const HostContext& context, const Args&) { return context.dialogs->upload().bars(); }

std::wstring joinedByBars(const std::vector<std::wstring>& texts) {
    std::wstring joined;
    for (const std::wstring& text : texts) joined += (joined.empty() ? L"" : L"|") + text;
    return joined;
}

// The rate line's texts, "|" between them.
Result uploadRates(const HostContext& context, const Args&) { return joinedByBars(context.dialogs->upload().rates()); }

Result uploadLongestAnswer(const HostContext& context, const Args&) {
    return context.dialogs->upload().longestAnswerMs();
}

Result uploadStopToEnd(const HostContext& context, const Args&) { return context.dialogs->upload().stopToEndMs(); }

// What a screen reader was told of the last upload dialog's status line, "|" between the texts.
Result uploadSpoken(const HostContext& context, const Args&) {
    return joinedByBars(context.dialogs->upload().spoken());
}

Result uploadControls(const HostContext& context, const Args&) {
    std::wstring controls = context.dialogs->upload().controls();
    if (controls.empty()) {
        throw HostError(L"host.uploadControls: no upload dialog is open");
    }
    return controls;
}

// The display's scale as the control's window has it.
Result dpi(const HostContext& context, const Args&) { return static_cast<long>(fw::DpiOf(controlWindow(context))); }

Result imageSize(const HostContext& context, const Args&) { return list(context).imageSize(); }

Result textWidth(const HostContext& context, const Args& args) { return long{list(context).textWidth(args.text(0))}; }

Result infoTip(const HostContext& context, const Args& args) { return list(context).infoTip(args.index(0)); }

Result headerInk(const HostContext& context, const Args& args) { return long{list(context).headerInk(args.index(0))}; }

// Keys pressed in the list as a browser hands them to the page's first control.
Result key(const HostContext& context, const Args& args) {
    const ListView shown = list(context);
    shown.rowCount();  // fails as the other list members do when there is no list
    fw::ComPtr<IOleInPlaceActiveObject> control;
    if (context.page && !context.page->controls().empty()) {
        control = context.page->controls().front().control->activeObject();
    }
    pressKeys(findListWindow(controlWindow(context)), args.text(0), control.Get());
    return {};
}

// Takes a file away after the control listed it: a file that cannot be opened when it is sent.
Result removeFile(const HostContext&, const Args& args) {
    const std::wstring path = windowsPath(args.text(0));
    if (!DeleteFileW(path.c_str())) {
        throw HostError(L"host.removeFile cannot remove " + path);
    }
    return {};
}

Result probeOpenFile(const HostContext& context, const Args& args) {
    return openFileProbe(frame(context), wantsAnsi(args));
}

Result probeFolderPicker(const HostContext& context, const Args& args) {
    return folderPickerProbe(frame(context), wantsAnsi(args));
}

Result probeMessageBox(const HostContext&, const Args& args) {
    const UINT type = args.size() > 1 ? static_cast<UINT>(args.integer(1)) : MB_OK;
    const int pressed = messageBoxProbe(args.text(0), type);
    for (const auto& button : kButtons) {
        if (button.id == pressed) {
            return std::wstring(button.name);
        }
    }
    return long{pressed};
}

Result probeDialog(const HostContext& context, const Args&) { return dialogProbe(frame(context)); }

// Drops the paths on the control's window as the shell would, then lets the control handle
// what the drop left queued, as a browser's message loop would at once.
Result drop(const HostContext& context, const Args& args) {
    std::vector<std::wstring> paths;
    for (unsigned i = 0; i < args.size(); ++i) {
        paths.push_back(windowsPath(args.text(i)));
    }
    std::wstring effect = dropFiles(controlWindow(context), paths);
    pumpMessages(0);
    return effect;
}

Result makeFileMember(const HostContext&, const Args& args) {
    return makeFile(args.text(0), args.byteCount(1), args.size() > 2 ? args.text(2) : std::wstring());
}

// Sizes beyond 2^31 are told as text, which script compares and prints alike.
Result fileSizeMember(const HostContext&, const Args& args) {
    const double size = fileSize(args.text(0));
    if (size < 2147483648.0) {
        return static_cast<long>(size);
    }
    return std::to_wstring(static_cast<unsigned long long>(size));
}

Result debugOutput(const HostContext&, const Args&) { return takeDebugOutput(); }

Result headerPixelMember(const HostContext& context, const Args& args) {
    return headerPixel(findListWindow(controlWindow(context)), args.index(0), args.index(1));
}

Result closePage(const HostContext& context, const Args&) {
    if (!context.page) {
        throw HostError(L"host.closePage: there is no page to close");
    }
    context.page->close();
    return {};
}

// What a user sees of the page behind a modal dialog of the control: "modeless off" while the
// control has told the frame that its dialog runs, and whether the page's window takes input.
Result pageState(const HostContext& context, const Args&) {
    return std::wstring(ContainerSite::modelessDisabled() ? L"modeless off" : L"modeless on") +
           (IsWindowEnabled(context.page->frame()) ? L", window enabled" : L", window disabled");
}

// As the browser's thread ending: whichever message loop takes the WM_QUIT ends.
Result postQuit(const HostContext&, const Args& args) {
    PostQuitMessage(static_cast<int>(args.integer(0)));
    return {};
}

constexpr Member kMembers[] = {
    {L"echo", 0, kAnyCount, echo},
    {L"pump", 1, 1, pump},
    {L"rowCount", 0, 0, rowCount, kNeedsPage},
    {L"cell", 2, 2, cell, kNeedsPage},
    {L"image", 1, 1, image, kNeedsPage},
    {L"rowsDigest", 0, 1, rowsDigest, kNeedsPage},
    {L"select", 1, 1, select, kNeedsPage},
    {L"deselect", 0, 0, deselect, kNeedsPage},
    {L"selected", 0, 0, selected, kNeedsPage},
    {L"doubleClick", 1, 1, doubleClick, kNeedsPage},
    {L"view", 0, 0, view, kNeedsPage},
    {L"columnCount", 0, 0, columnCount, kNeedsPage},
    {L"columnText", 1, 1, columnText, kNeedsPage},
    {L"columnWidth", 1, 1, columnWidth, kNeedsPage},
    {L"listStyle", 0, 0, listStyle, kNeedsPage},
    {L"background", 0, 0, background, kNeedsPage},
    {L"answer", 1, 1, answer},
    {L"pickFiles", 0, kAnyCount, pickFiles},
    {L"pickFolder", 0, 1, pickFolder},
    {L"press", 0, 1, press},
    {L"timeLimit", 1, 1, timeLimit},
    {L"screenshot", 1, 1, screenshot, kNeedsPage},
    {L"winPath", 1, 1, winPath},
    {L"env", 1, 1, environment},
    {L"pagePath", 1, 1, pagePath},
    {L"onStatus", 2, 3, onStatus},
    {L"uploadLog", 0, 0, uploadLog},
    {L"uploadBars", 0, 0, uploadBars},
    {L"uploadRates", 0, 0, uploadRates},
    {L"uploadLongestAnswer", 0, 0, uploadLongestAnswer},
    {L"uploadStopToEnd", 0, 0, uploadStopToEnd},
    {L"uploadSpoken", 0, 0, uploadSpoken},
    {L"uploadControls", 0, 0, uploadControls},
    {L"dpi", 0, 0, dpi, kNeedsPage},
    {L"imageSize", 0, 0, imageSize, kNeedsPage},
    {L"textWidth", 1, 1, textWidth, kNeedsPage},
    {L"infoTip", 1, 1, infoTip, kNeedsPage},
    {L"headerInk", 1, 1, headerInk, kNeedsPage},
    {L"key", 1, 1, key, kNeedsPage},
    {L"removeFile", 1, 1, removeFile},
    {L"probeOpenFile", 0, 1, probeOpenFile, kNeedsPage},
    {L"probeFolderPicker", 0, 1, probeFolderPicker, kNeedsPage},
    {L"probeMessageBox", 1, 2, probeMessageBox},
    {L"probeDialog", 0, 0, probeDialog, kNeedsPage},
    {L"dropFiles", 1, kAnyCount, drop, kNeedsPage},
    {L"makeFile", 2, 3, makeFileMember},
    {L"fileSize", 1, 1, fileSizeMember},
    {L"debugOutput", 0, 0, debugOutput},
    {L"headerPixel", 2, 2, headerPixelMember, kNeedsPage},
    {L"closePage", 0, 0, closePage, kNeedsPage},
    {L"postQuit", 1, 1, postQuit},
    {L"pageState", 0, 0, pageState, kNeedsPage},
};

void storeResult(Result&& value, VARIANT* out) {
    if (!out) {
        return;
    }
    VariantInit(out);
    if (const long* number = std::get_if<long>(&value)) {
        out->vt = VT_I4;
        out->lVal = *number;
    } else if (const std::wstring* text = std::get_if<std::wstring>(&value)) {
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    }
}

HRESULT fail(EXCEPINFO* exception, const std::wstring& message) {
    if (!exception) {
        return E_FAIL;
    }
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"host");
    exception->bstrDescription = SysAllocStringLen(message.data(), static_cast<UINT>(message.size()));
    exception->scode = E_FAIL;
    return DISP_E_EXCEPTION;
}

std::wstring argumentCountText(const Member& member) {
    if (member.minArgs == member.maxArgs) {
        return std::to_wstring(member.minArgs) + (member.minArgs == 1 ? L" argument" : L" arguments");
    }
    return std::to_wstring(member.minArgs) + L" to " + std::to_wstring(member.maxArgs) + L" arguments";
}

}  // namespace

fw::ComPtr<IDispatch> HostObject::create(const HostContext& context) {
    return fw::ComPtr<IDispatch>::Adopt(new HostObject(context));
}

STDMETHODIMP HostObject::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP HostObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!names || !ids || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    for (size_t i = 0; i < std::size(kMembers); ++i) {
        if (names[0] && kMembers[i].name == names[0]) {
            ids[0] = static_cast<DISPID>(i + 1);
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // members have no named parameters
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP HostObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* exception, UINT* /*argError*/) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (id < 1 || static_cast<size_t>(id) > std::size(kMembers) || !(flags & DISPATCH_METHOD)) {
        return DISP_E_MEMBERNOTFOUND;  // every member is a method; none can be read or assigned
    }
    const Member& member = kMembers[id - 1];
    if (m_context.failure && m_context.failure->failed()) {
        // A function the host called back failed: the page stops at its next step, as it would
        // at any other script error (the message was printed already).
        return fail(exception, L"the page has failed");
    }
    if (member.needsPage && m_context.page && m_context.page->closed()) {
        return fail(exception, L"host." + std::wstring(member.name) + L": the page is closed");
    }
    DISPPARAMS none{};
    const DISPPARAMS& given = params ? *params : none;
    if (given.cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (given.cArgs < member.minArgs || given.cArgs > member.maxArgs) {
        return fail(exception, L"host." + std::wstring(member.name) + L" takes " + argumentCountText(member));
    }
    try {
        storeResult(member.run(m_context, Args(member.name, given)), result);
        return S_OK;
    } catch (const HostError& error) {
        return fail(exception, error.message);
    } catch (const std::exception&) {
        return fail(exception, L"host." + std::wstring(member.name) + L" ran out of memory");
    }
}

}  // namespace pagehost
