// The upload run started by setting startUpload to "start".
#include "control/TovaloCtrl.h"

namespace tovalo {

void CTovaloCtrl::StartUpload() {}

}  // namespace tovalo
