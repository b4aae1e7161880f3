// Files and folders dropped from the shell onto the control's list: the OLE drop target and the
// older WM_DROPFILES both hand over the shell's file list (CF_HDROP).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

namespace tovalo {

// The paths of a shell file list.
std::vector<std::wstring> DroppedPaths(HDROP drop);

// A window's registration as a drop target, from Register until Revoke (or destruction).
// Drops arrive in onDrop; accepts tells at each moment whether a drop would be taken, so that
// the pointer shows "no drop" while it would not. OLE drops are handed on through a message
// posted to the window (handled by the owner, which calls TakePending), so that the drop
// source (the shell, in another process) is not held while the control shows its messages.
class FileDropRegistration {
public:
    static constexpr UINT kDropPendingMessage = WM_APP + 0x2D0;

    FileDropRegistration() = default;
    FileDropRegistration(const FileDropRegistration&) = delete;
    FileDropRegistration& operator=(const FileDropRegistration&) = delete;
    ~FileDropRegistration() { Revoke(); }

    void Register(HWND window, std::function<bool()> accepts);
    void Revoke();

    // The paths of the OLE drops whose message has arrived, oldest first; the list is emptied.
    std::vector<std::wstring> TakePending();

private:
    class Target;

    HWND window_ = nullptr;
    Target* target_ = nullptr;  // one reference of ours; OLE holds its own while registered
    bool oleRegistered_ = false;
};

}  // namespace tovalo
