#pragma once

#include <QString>
#include <QStringList>

namespace ui {
class TFormHVXLoader;
}

namespace app {

// What the desktop program's command line asks for: a start address and a save
// folder to put on the wizard's second page, or help, or the version.
struct DesktopCommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Invalid };

    Action action = Action::Run;
    QString startAddress;  // empty: the page keeps its own
    QString saveFolder;    // empty: the page keeps its own
    QString error;         // why the arguments are invalid
};

// Reads the arguments (the program name first). Qt's own options must have been
// taken out already (QApplication does that), except when only help or version
// are asked for: those are found among any other arguments.
DesktopCommandLine parseDesktopCommandLine(const QStringList& arguments);

QString desktopHelpText();
QString desktopVersionText();

// Puts the address and folder on page 2. The wizard stays on the page it shows.
void fillStartPage(const DesktopCommandLine& commandLine, ui::TFormHVXLoader& window);

}  // namespace app
