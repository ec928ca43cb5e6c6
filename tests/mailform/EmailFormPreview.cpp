// Shows the e-mail form with sample entries, for screenshots and for trying
// the form by hand against local peers under Xvfb. It sends nothing unless
// Send is pressed, and ends with the form.
//
//   mailform_preview [--resolv-conf PATH] [--dns-port N] [--smtp-port N] [--maker-host HOST]
//                    [--empty]
//
// --maker-host names where the list of name servers would be fetched when no
// name server answers; give a loopback address to keep every request local.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cstdio>

#include "mail/form/fEmail.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TEmailFormSettings settings;
    bool empty = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--resolv-conf" && hasValue) {
            settings.NameServers.resolvConfPath = args[++i].toStdString();
            settings.NameServers.leaseDirectories = {};
        } else if (arg == "--dns-port" && hasValue) {
            settings.ResolverPort = static_cast<std::uint16_t>(args[++i].toUInt());
        } else if (arg == "--smtp-port" && hasValue) {
            settings.SmtpPort = static_cast<std::uint16_t>(args[++i].toUInt());
        } else if (arg == "--maker-host" && hasValue) {
            settings.MakerHost = args[++i].toStdString();
        } else if (arg == "--empty") {
            empty = true;
        } else {
            std::fprintf(stderr, "unknown option: %s\n", qPrintable(arg));
            return 2;
        }
    }
    TfrmEmail form(nullptr, settings);
    form.sAppTitle = "the Harvex";
    form.sDownloadURL = "http://www.corvane.example/gizmorama/";
    form.sAppSummary = "which lets you download a Web site to your hard drive";
    form.sAppDescription = "A tool that copies a Web site to your disk.";
    if (!empty) {
        form.txtName->setText(QStringLiteral("Ann Example"));
        form.txtYourEmail->setText(QStringLiteral("ann@sender.example"));
        form.txtFriendsName->setText(QStringLiteral("Bob"));
        form.txtAddress->setText(QStringLiteral("bob@friend.example"));
        form.memText->setPlainText(
            QStringLiteral("Bob, this copied our club's whole site in a minute."));
    }
    return form.exec() == QDialog::Accepted ? 0 : 1;
}
