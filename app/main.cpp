#include <QApplication>
#include <cstdio>

#include "app/desktop/DesktopCommandLine.h"
#include "platform/gui/FileTypeIcon.h"
#include "ui/Startup.h"

namespace {

constexpr int kExitUsage = 2;

QStringList rawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    using Action = app::DesktopCommandLine::Action;
    // Help and version are answered before any window system is needed, so that
    // they work without a display.
    const Action early = app::parseDesktopCommandLine(rawArguments(argc, argv)).action;
    if (early == Action::ShowHelp || early == Action::ShowVersion) {
        const QString text =
            early == Action::ShowHelp ? app::desktopHelpText() : app::desktopVersionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Harvex"));
    QApplication::setOrganizationName(QStringLiteral("Harvex"));
    // Lets the desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.corvane.Harvex"));
    // Qt's own options are gone from the arguments now.
    const app::DesktopCommandLine commandLine =
        app::parseDesktopCommandLine(QApplication::arguments());
    if (commandLine.action == Action::Invalid) {
        std::fprintf(stderr, "harvex: %s\nTry 'harvex --help' for more information.\n",
                     commandLine.error.toLocal8Bit().constData());
        return kExitUsage;
    }
    platform::ensureIconTheme();

    ui::THarvexWindows windows;
    app::fillStartPage(commandLine, windows.FormHVXLoader);
    windows.FormHVXLoader.show();
    // Runs until the main window closes.
    return QApplication::exec();
}
