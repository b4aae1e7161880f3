// Files and folders dropped onto the control's list: added as AddFileToList and LoadDirFiles add
// them, with their messages; nothing while an upload runs or on a page the site list refuses.
#include "control/TovaloCtrl.h"

#include "framework/LocalPath.h"

namespace tovalo {

bool CTovaloCtrl::AcceptsDrops() { return !m_uploading && PageAllowed(); }

void CTovaloCtrl::OnDropFiles(HDROP drop) {
    std::vector<std::wstring> paths = DroppedPaths(drop);
    ::DragFinish(drop);
    AddDroppedPaths(paths);
}

void CTovaloCtrl::AddDroppedPaths(const std::vector<std::wstring>& paths) {
    // Asked again: an upload may have started between the drop and its message.
    if (!AcceptsDrops()) return;
    const FileListRows::Batch batch(m_list);
    for (const std::wstring& path : paths) {
        const DWORD attributes = ::GetFileAttributesW(fw::FileApiPath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            LoadDirFiles(path);
        } else {
            AddFileToList(path);
        }
    }
}

}  // namespace tovalo
