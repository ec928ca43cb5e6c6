#include "app/desktop/DesktopCommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QLineEdit>

#include "app/Version.h"
#include "ui/wsmain.h"

namespace app {

namespace {

constexpr int kMaxPositional = 2;

// A relative folder names one under the directory the program was started in;
// the wizard, which cannot know that directory, accepts only absolute paths
// (and "~/", which it expands itself).
QString absoluteFolder(const QString& folder) {
    if (folder.isEmpty() || folder.startsWith(QLatin1Char('/')) ||
        folder.startsWith(QLatin1Char('~')))
        return folder;
    return QDir::current().absoluteFilePath(folder);
}

}  // namespace

DesktopCommandLine parseDesktopCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    const bool parsed = parser.parse(arguments);

    DesktopCommandLine result;
    // Asked for help or the version, the program answers whatever else is there.
    if (parser.isSet(help)) {
        result.action = DesktopCommandLine::Action::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = DesktopCommandLine::Action::ShowVersion;
        return result;
    }
    if (!parsed) {
        result.action = DesktopCommandLine::Action::Invalid;
        result.error = parser.errorText();
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > kMaxPositional) {
        result.action = DesktopCommandLine::Action::Invalid;
        result.error = QStringLiteral("too many arguments: %1").arg(positional.at(kMaxPositional));
        return result;
    }
    if (!positional.isEmpty()) result.startAddress = positional.at(0);
    if (positional.size() > 1) result.saveFolder = absoluteFolder(positional.at(1));
    return result;
}

QString desktopHelpText() {
    return QStringLiteral(
        "Usage: harvex [START_URL [SAVE_DIR]]\n"
        "Copy a web site to your disk with a six-page wizard.\n"
        "\n"
        "START_URL and SAVE_DIR fill in the wizard's start-address page (its second\n"
        "page); the wizard still opens at its first page and checks both on Next.\n"
        "A relative SAVE_DIR is taken from the current directory.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Qt's own options (such as -platform or -style) are accepted too.\n"
        "harvex-cli copies a site without a window; see harvex-cli --help.\n");
}

QString desktopVersionText() {
    return QStringLiteral("harvex %1\n").arg(QString::fromLatin1(kVersion));
}

void fillStartPage(const DesktopCommandLine& commandLine, ui::TFormHVXLoader& window) {
    if (!commandLine.startAddress.isEmpty()) window.txtStartURL->setText(commandLine.startAddress);
    if (!commandLine.saveFolder.isEmpty()) window.txtSaveDirectory->setText(commandLine.saveFolder);
}

}  // namespace app
