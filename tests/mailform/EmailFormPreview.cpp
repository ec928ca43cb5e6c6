// Shows the e-mail form with sample entries, for screenshots under Xvfb. It
// sends nothing unless Send is pressed, and closes with the form.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "mail/form/fEmail.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TfrmEmail form;
    form.sAppTitle = "the Harvex";
    form.sDownloadURL = "http://www.corvane.example/gizmorama/";
    form.sAppSummary = "which lets you download a Web site to your hard drive";
    form.sAppDescription = "A tool that copies a Web site to your disk.";
    form.txtName->setText(QStringLiteral("Ann Example"));
    form.txtYourEmail->setText(QStringLiteral("ann@sender.example"));
    form.txtFriendsName->setText(QStringLiteral("Bob"));
    form.txtAddress->setText(QStringLiteral("bob@friend.example"));
    form.memText->setPlainText(
        QStringLiteral("Bob, this copied our club's whole site in a minute."));
    form.show();
    return app.exec();
}
