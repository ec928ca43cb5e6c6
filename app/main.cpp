#include <QApplication>

#include "platform/gui/FileTypeIcon.h"
#include "ui/Startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Harvex"));
    QApplication::setOrganizationName(QStringLiteral("Harvex"));
    platform::ensureIconTheme();

    ui::THarvexWindows windows;
    windows.FormHVXLoader.show();
    // Runs until the main window closes.
    return QApplication::exec();
}
