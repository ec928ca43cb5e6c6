#pragma once

#include "ui/fSplash.h"
#include "ui/fpopdet.h"
#include "ui/wsmain.h"

namespace ui {

// The program's windows as the start-up sequence creates them: the main window
// (the application's main window), then the splash window and the credits
// dialog, both hidden. The splash is not shown on a normal start.
struct THarvexWindows {
    THarvexWindows();

    TFormHVXLoader FormHVXLoader;
    TfrmSplash frmSplash;
    TfrmPopDet frmPopDet;
};

}  // namespace ui
