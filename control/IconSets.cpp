// Icon sets and view modes of the list: shell icons or size-category icons, icon or report view
// (whose header the skinned header takes over).
#include "control/TovaloCtrl.h"

#include <commctrl.h>

namespace tovalo {

void CTovaloCtrl::ChangeIconSet(std::int32_t set) {
    if (set == m_iconSet) return;
    HWND list = Hwnd();
    const FileListRows::Batch batch(m_list);
    if (set != 0) {
        ListView_SetImageList(list, m_ilCustomSmall.Get(), LVSIL_SMALL);
        ListView_SetImageList(list, m_ilCustomLarge.Get(), LVSIL_NORMAL);
    } else {
        // Every row gets its shell icon anew, so the shell lists start empty.
        ::ImageList_Remove(m_ilShellSmall.Get(), -1);
        ::ImageList_Remove(m_ilShellLarge.Get(), -1);
        m_shellIcons.clear();
        ListView_SetImageList(list, m_ilShellSmall.Get(), LVSIL_SMALL);
        ListView_SetImageList(list, m_ilShellLarge.Get(), LVSIL_NORMAL);
    }
    m_list.Restyle([this, set](const FileRow& row) { return LookOf(row, set); });
    m_list.Arrange();
    m_iconSet = set;
}

void CTovaloCtrl::ChangeListView(std::int32_t type) {
    if (m_uploading) return;
    HWND list = Hwnd();
    if (!list) return;
    const auto style = static_cast<DWORD>(::GetWindowLongW(list, GWL_STYLE)) & ~static_cast<DWORD>(LVS_TYPEMASK);
    ::SetWindowLongW(list, GWL_STYLE, static_cast<LONG>(type != 0 ? style | LVS_REPORT : style | LVS_ICON));
    if (type == 0 || m_headerSkinned) return;
    // The header is taken over once; it keeps its skin through later switches of the view.
    if (HWND header = ListView_GetHeader(list)) m_headerSkinned = m_header.SubclassWindow(header);
}

}  // namespace tovalo
