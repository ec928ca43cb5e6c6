#include <QApplication>

#include "platform/gui/FileTypeIcon.h"
#include "ui/fSplash.h"
#include "ui/fpopdet.h"
#include "ui/wsmain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Harvex"));
    QApplication::setOrganizationName(QStringLiteral("Harvex"));
    platform::ensureIconTheme();

    ui::TFormHVXLoader mainWindow;
    // Both stay hidden: the splash is not shown on a normal start, and the
    // credits dialog waits for its gesture on the first page.
    ui::TfrmSplash splash;
    ui::TfrmPopDet credits;
    mainWindow.SetCreditsDialog(&credits);

    mainWindow.show();
    return QApplication::exec();
}
