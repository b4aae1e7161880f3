// The file list in the control's list view: the entry points the page calls. The rows, checks
// and size texts are added with the file list itself; until then these accept and do nothing.
#include "control/TovaloCtrl.h"

namespace tovalo {

void CTovaloCtrl::AddFileToList(const std::string&) {}
void CTovaloCtrl::SelectFile() {}
void CTovaloCtrl::LoadDirFiles(const std::string&) {}
void CTovaloCtrl::LoadFilesFromDialog() {}
void CTovaloCtrl::DeleteAllItemInList() {}
void CTovaloCtrl::DeleteSelectedItem() {}

}  // namespace tovalo
