#include "ui/Resources.h"

#include <QtGlobal>

static void registerUiResources() { Q_INIT_RESOURCE(Resources); }

namespace ui {

void InitResources() {
    static const bool done = (registerUiResources(), true);
    (void)done;
}

}  // namespace ui
