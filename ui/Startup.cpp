#include "ui/Startup.h"

namespace ui {

THarvexWindows::THarvexWindows() { FormHVXLoader.SetCreditsDialog(&frmPopDet); }

}  // namespace ui
