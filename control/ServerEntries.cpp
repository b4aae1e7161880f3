// Server entries: files the page says are already on the server (getFileShow) and their refresh.
#include "control/TovaloCtrl.h"

namespace tovalo {

void CTovaloCtrl::SetFileShow(const std::string& text) {
    // The text waits here for the refresh timer; its rows are added with the server entries.
    m_pendingFileShow = text;
}

void CTovaloCtrl::UpdateHideIcons() {}

}  // namespace tovalo
