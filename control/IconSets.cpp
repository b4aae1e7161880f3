// Icon sets and view modes of the list: the entry points the page calls.
#include "control/TovaloCtrl.h"

namespace tovalo {

void CTovaloCtrl::ChangeListView(std::int32_t) {}
void CTovaloCtrl::ChangeIconSet(std::int32_t) {}

}  // namespace tovalo
