// CTovaloPropPage: dialog 200 with caption string 200.
#include "control/TovaloPropPage.h"

#include "framework/ClassFactory.h"
#include "res/resource.h"

namespace tovalo {

CTovaloPropPage::CTovaloPropPage() : fw::PropertyPage(IDD_PROPPAGE_TOVALO, IDS_TOVALO_PPG_CAPTION) {}

HRESULT CreateTovaloPropPage(REFIID riid, void** out) { return fw::CreateComObject<CTovaloPropPage>(riid, out); }

}  // namespace tovalo
