#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "mail/form/EmailErrorDialog.h"
#include "mail/form/fEmail.h"
#include "platform/Dialogs.h"
#include "platform/gui/Clipboard.h"
#include "testing/ScriptedDialogs.h"
#include "tests/support/DnsmasqServer.h"
#include "tests/support/Peers.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/SmtpServer.h"

namespace {

const char* const kAdvice =
    "You can still send the message to your friend.  Click the \"To Clipboard\" button and the "
    "email message will be put in the Windows Clipboard.  You can then paste it into a regular "
    "email to your friend.";
const char* const kNoDns =
    "A DNS server cannot be found but you can still send the message to your friend.  Click the "
    "\"To Clipboard\" button and the email message will be put in the Windows Clipboard.  You can "
    "then paste it into a regular email to your friend.";
const char* const kPlacedInClipboard =
    "The message about the Harvex has been placed in the clipboard.  You can now paste it into "
    "your regular email software and send it to your friend.";

// The environment of one form: a resolv.conf of our own (no DHCP leases) and
// a maker's host that refuses connections, so nothing leaves loopback.
struct Environment {
    QTemporaryDir dir;
    platform::ScriptedDialogs dialogs;
    TEmailFormSettings settings;

    explicit Environment(const std::string& resolvConf = "nameserver 127.0.0.1\n") {
        const std::string conf = dir.path().toStdString() + "/resolv.conf";
        testsupport::writeFile(conf, resolvConf);
        settings.NameServers.resolvConfPath = conf;
        settings.NameServers.leaseDirectories = {};
        settings.MakerHost = "127.0.0.1:" + std::to_string(testsupport::freeTcpPort());
        settings.Dialogs = &dialogs;
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& call : dialogs.calls) texts.push_back(call.text);
        return texts;
    }
};

void customize(TfrmEmail& form) {
    form.sAppTitle = "the Harvex";
    form.sDownloadURL = "http://www.corvane.example/gizmorama/";
    form.sAppSummary = "which lets you download a Web site to your hard drive";
    form.sAppDescription = "A tool that copies a site.";
}

void fill(TfrmEmail& form, const QString& name, const QString& own, const QString& friendName,
          const QString& address, const QString& personal) {
    form.txtName->setText(name);
    form.txtYourEmail->setText(own);
    form.txtFriendsName->setText(friendName);
    form.txtAddress->setText(address);
    form.memText->setPlainText(personal);
}

// Answers the error dialog when it appears: records its text and presses one
// of its buttons. Polls on a timer, so it also runs inside nested loops.
class ErrorDialogAnswer : public QObject {
public:
    ErrorDialogAnswer(bool toClipboard) : toClipboard_(toClipboard) {
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start(10);
    }
    int shown = 0;
    QString text;
    QString caption;

private:
    void poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<TEmailErrorDialog*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            ++shown;
            text = dialog->lblMessage->text();
            caption = dialog->windowTitle();
            (toClipboard_ ? dialog->btnToClipboard : dialog->btnClose)->click();
        }
    }
    bool toClipboard_;
    QTimer timer_;
};

// Records every text the status line painted, in order (the empty line aside).
class StatusRecorder : public QObject {
public:
    explicit StatusRecorder(QLabel* label) : label_(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Paint && !label_->text().isEmpty() &&
            (texts.isEmpty() || texts.last() != label_->text()))
            texts << label_->text();
        return false;
    }

private:
    QLabel* label_;
};

QStringList topLevels() {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        names << QString::fromLatin1(w->metaObject()->className()) + ':' + w->objectName();
    return names;
}

}  // namespace

class TestEmailForm : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        QApplication::processEvents();
        QVERIFY2(topLevels().isEmpty(), qPrintable(topLevels().join(", ")));
    }

    void layoutTextsAndSubject() {
        Environment env;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        QCOMPARE(form.size(), QSize(399, 434));
        QVERIFY(!form.butSend->isEnabled());
        QVERIFY(form.butCancel->isDefault());
        QVERIFY(!form.chkHTML->isChecked());
        QCOMPARE(form.txtAddress->geometry(), QRect(7, 233, 383, 22));
        QCOMPARE(form.memText->geometry(), QRect(4, 307, 391, 79));
        QCOMPARE(form.butSend->geometry(), QRect(229, 403, 75, 25));
        QCOMPARE(form.butCancel->geometry(), QRect(319, 403, 75, 25));
        // Tab order: the four edits, the memo, the check box, Send, Cancel.
        const QList<QWidget*> order = {form.txtName,    form.txtYourEmail, form.txtFriendsName,
                                       form.txtAddress, form.memText,      form.chkHTML,
                                       form.butSend,    form.butCancel};
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }

        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Email the Harvex to a Friend"));
        QCOMPARE(form.lblHeading->text(),
                 QStringLiteral("Think your friends would like the Harvex too? "));
        QVERIFY(form.lblHeading2->text().contains("link to download the Harvex. This"));
        QCOMPARE(form.lblHeading3->text(),
                 QStringLiteral("You can also add a personalized message to your friend about "
                                "how cool the Harvex is."));
        QCOMPARE(form.ctlMessage.Subject(), std::string("the Harvex is available for you."));
        QVERIFY(env.dialogs.calls.empty());
        QCOMPARE(form.lblStatus->text(), QString());
        form.close();
    }

    void missingCustomizationIsReportedAndTheFormStaysUsable() {
        Environment env;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.sAppSummary.clear();
        form.sAppTitle = std::string(300, 'x');
        form.show();
        QCOMPARE(env.messages(),
                 std::vector<std::string>{"Internal Error: All the customization fields must be "
                                          "supplied by the programmer !"});
        QCOMPARE(env.dialogs.calls[0].kind, platform::DialogKind::Plain);
        // The subject holds at most 255 characters.
        QCOMPARE(form.ctlMessage.Subject(), std::string(255, 'x'));
        QTest::keyClicks(form.txtAddress, "a");
        QVERIFY(form.butSend->isEnabled());
        form.close();
    }

    void onlyTheFriendsAddressEnablesSend() {
        Environment env;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.show();
        QTest::keyClicks(form.txtName, "Me");
        QTest::keyClicks(form.txtYourEmail, "me@sender.test");
        QTest::keyClicks(form.txtFriendsName, "Pal");
        QTest::keyClicks(form.memText, "hi");
        QVERIFY(!form.butSend->isEnabled());
        QTest::keyClicks(form.txtAddress, "p");
        QVERIFY(form.butSend->isEnabled());
        QTest::keyClick(form.txtAddress, Qt::Key_Backspace);
        QVERIFY(!form.butSend->isEnabled());
        // Any non-empty text counts, even a blank.
        QTest::keyClicks(form.txtAddress, " ");
        QVERIFY(form.butSend->isEnabled());
        form.txtName->clear();
        QVERIFY(form.butSend->isEnabled());
        form.close();
    }

    void composedBodies_data() {
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("personal");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("plain, named, with message")
            << false << "Ann"
            << "line one\nline two"
            << "text/plain"
            << QByteArray(
                   "Hello Bob, \r\n"
                   "Ann wanted to let you know about the Harvex, which lets you download "
                   "a Web site to your hard drive  It's available for downloading from "
                   "Corvane Software's Web Site.\r\n\r\n"
                   "Just point your Web Browser to http://www.corvane.example/gizmorama/\r\n"
                   "\r\nAnn also wanted to send you a special message: \r\n\r\n"
                   "line one\r\nline two\r\n"
                   "\r\nWhat is the Harvex?\r\n\r\nA tool that copies a site.\r\n\r\n");
        QTest::newRow("plain, anonymous, no message")
            << false << ""
            << ""
            << "text/plain"
            << QByteArray(
                   "Hello Bob, \r\n"
                   "A friend wanted to let you know about the Harvex, which lets you "
                   "download a Web site to your hard drive  It's available for downloading "
                   "from Corvane Software's Web Site.\r\n\r\n"
                   "Just point your Web Browser to http://www.corvane.example/gizmorama/\r\n"
                   "\r\nWhat is the Harvex?\r\n\r\nA tool that copies a site.\r\n\r\n");
        QTest::newRow("html, anonymous, with message")
            << true << ""
            << "<b>5 > 3</b>"
            << "text/html"
            << QByteArray(
                   "<HTML>\r\n<BODY>\r\n\r\n<P>Hello Bob, <BR>"
                   "A friend wanted to let you know about the Harvex, which lets you "
                   "download a Web site to your hard drive  It's available for downloading "
                   "from Corvane Software's Web Site.<BR>\r\n\r\n"
                   "<P><A HREF=\"http://www.corvane.example/gizmorama/\">Click here to "
                   "download the Harvex</A><BR>\r\n"
                   "or point your Web Browser to http://www.corvane.example/gizmorama/"
                   "<BR>\r\n"
                   "\r\n<P>A friend also wanted to send you a special message: <BR>\r\n\r\n"
                   "<PRE>\r\n<b>5 > 3</b>\r\n</PRE>\r\n"
                   "\r\n<P><H2>What is the Harvex?</H2>\r\n\r\nA tool that copies a site."
                   "\r\n\r\n</BODY>\r\n</HTML>\r\n");
        QTest::newRow("html, named, no message")
            << true << "Ann"
            << ""
            << "text/html"
            << QByteArray(
                   "<HTML>\r\n<BODY>\r\n\r\n<P>Hello Bob, <BR>"
                   "Ann wanted to let you know about the Harvex, which lets you "
                   "download a Web site to your hard drive  It's available for downloading "
                   "from Corvane Software's Web Site.<BR>\r\n\r\n"
                   "<P><A HREF=\"http://www.corvane.example/gizmorama/\">Click here to "
                   "download the Harvex</A><BR>\r\n"
                   "or point your Web Browser to http://www.corvane.example/gizmorama/"
                   "<BR>\r\n"
                   "\r\n<P><H2>What is the Harvex?</H2>\r\n\r\nA tool that copies a site."
                   "\r\n\r\n</BODY>\r\n</HTML>\r\n");
    }

    // The clipboard operation composes the body and puts exactly its text there.
    void composedBodies() {
        QFETCH(bool, html);
        QFETCH(QString, name);
        QFETCH(QString, personal);
        QFETCH(QString, contentType);
        QFETCH(QByteArray, body);
        Environment env;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        fill(form, name, "me@sender.test", "Bob", "bob@example.test", personal);
        form.chkHTML->setChecked(html);
        platform::setClipboardText("before");
        form.btnToClipboardClick();
        QCOMPARE(QByteArray::fromStdString(platform::clipboardText()), body);
        QCOMPARE(QByteArray::fromStdString(form.ctlMessage.BodyText()), body);
        QCOMPARE(QString::fromStdString(form.ctlMessage.ContentType()), contentType);
        QCOMPARE(env.messages(), std::vector<std::string>{kPlacedInClipboard});
        // The clipboard gets the body only: no subject, no header lines.
        QVERIFY(!platform::clipboardText().starts_with("Subject"));
    }

    // The main window's opener: the program's own texts, a modal form that
    // ends with Cancel and is released.
    void openerFillsTheProgramTexts() {
        Environment env;
        QString caption;
        std::string url, summary, description;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TfrmEmail*>(QApplication::activeModalWidget());
            QVERIFY(form);
            caption = form->windowTitle();
            url = form->sDownloadURL;
            summary = form->sAppSummary;
            description = form->sAppDescription;
            form->butCancel->click();
        });
        QCOMPARE(OpenEmailForm(nullptr, env.settings), int(QDialog::Rejected));
        QCOMPARE(caption, QStringLiteral("Email the Harvex to a Friend"));
        QCOMPARE(url, "http://" + env.settings.MakerHost + "/gizmorama/");
        QCOMPARE(summary, std::string("which lets you download a Web site to your hard drive"));
        QVERIFY(description.starts_with("Frequently, to speed up your work,"));
        QVERIFY(description.find("Website so you can browse") != std::string::npos);
        QVERIFY(env.dialogs.calls.empty());
    }

    // The whole road: exchangers from dnsmasq, the first one unreachable, the
    // second a real aiosmtpd that takes the message; the success box, no
    // error dialog, and the form ends with OK.
    void sendThroughDnsmasqAndAiosmtpd() {
        testsupport::DnsmasqServer dns;
        dns.addMx("sender.test", "127.0.0.2", 5);
        dns.addMx("sender.test", "localhost", 10);
        QVERIFY2(dns.start(), dns.error().c_str());
        testsupport::SmtpServer mail;
        QVERIFY2(mail.start(), mail.error().c_str());

        Environment env;
        env.settings.ResolverPort = dns.port();
        env.settings.SmtpPort = mail.port();
        env.settings.TickIntervalMs = 400;  // aiosmtpd is a Python process: leave it time
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        StatusRecorder status(form.lblStatus);
        ErrorDialogAnswer answer(true);
        QTimer::singleShot(0, &form, [&] {
            // Every status text is painted at once, while the sequence runs.
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QTest::keyClicks(form.txtYourEmail, "me@sender.test");
            QTest::keyClicks(form.txtFriendsName, "Bob");
            QTest::keyClicks(form.txtAddress, "bob@friend.test");
            QTest::keyClicks(form.memText, "Try it = fun");
            form.chkHTML->setChecked(true);
            QTest::mouseClick(form.butSend, Qt::LeftButton);
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));

        QCOMPARE(answer.shown, 0);
        QCOMPARE(env.messages(), std::vector<std::string>{"The email was successfully sent."});
        QCOMPARE(env.dialogs.calls[0].kind, platform::DialogKind::Information);
        QCOMPARE(status.texts,
                 QStringList({"Building DNS list", "1/1 127.0.0.1", "DNS OK!",
                              "Sending through 127.0.0.2.", "Sending through localhost."}));
        QCOMPARE(form.lblStatus->text(), QString());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form.Sending());

        QVERIFY(mail.waitForMessages(1));
        const auto messages = mail.messages();
        QCOMPARE(messages.size(), std::size_t(1));
        QCOMPARE(messages[0].mailFrom, std::string("me@sender.test"));
        QCOMPARE(messages[0].rcptTos, std::vector<std::string>{"bob@friend.test"});
        const std::string& data = messages[0].data;
        QVERIFY2(data.find("Subject: the Harvex is available for you.\r\n") != std::string::npos,
                 data.c_str());
        QVERIFY2(data.find("text/html") != std::string::npos, data.c_str());
        // The empty name stays out of the sender but names the sender in the body.
        QVERIFY2(data.find("A friend wanted to let you know") != std::string::npos, data.c_str());
        QVERIFY2(data.find("Try it =3D fun") != std::string::npos, data.c_str());
        const std::size_t from = data.find("From:");
        QVERIFY(from != std::string::npos);
        const std::string fromLine = data.substr(from, data.find("\r\n", from) - from);
        QVERIFY2(fromLine.ends_with(" <me@sender.test>"), fromLine.c_str());
        QVERIFY2(fromLine.find_first_not_of(' ', 5) == fromLine.find('<'), fromLine.c_str());
    }

    // Every exchanger fails: the error dialog tells the last failure, and "To
    // Clipboard" puts the body there.
    void everyExchangerFailingOffersTheClipboard() {
        testsupport::DnsmasqServer dns;
        dns.addMx("sender.test", "127.0.0.2", 10);
        QVERIFY2(dns.start(), dns.error().c_str());
        Environment env;
        env.settings.ResolverPort = dns.port();
        env.settings.SmtpPort = testsupport::freeTcpPort();
        env.settings.TickIntervalMs = 200;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.show();
        fill(form, "Ann", "me@sender.test", "Bob", "bob@friend.test", "");
        platform::setClipboardText("before");
        ErrorDialogAnswer answer(true);
        form.butSend->click();

        QCOMPARE(answer.shown, 1);
        QCOMPARE(answer.caption, QStringLiteral("An error has occurred"));
        QCOMPARE(answer.text, QStringLiteral("Operation timed out\r\n") + kAdvice);
        QCOMPARE(env.messages(), std::vector<std::string>{kPlacedInClipboard});
        const std::string clip = platform::clipboardText();
        QVERIFY(clip.starts_with("Hello Bob, \r\nAnn wanted to let you know"));
        QVERIFY(clip.ends_with("A tool that copies a site.\r\n\r\n"));
        // The form stays open for another try.
        QVERIFY(form.isVisible());
        QCOMPARE(form.lblStatus->text(), QString());
        QVERIFY(!QApplication::overrideCursor());
        form.close();
    }

    // No name server known and no list file: the DNS text; Close leaves the
    // clipboard alone.
    void noExchangerFoundShowsTheDnsText() {
        Environment env("# no name servers\n");
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.show();
        fill(form, "Ann", "me@sender.test", "Bob", "bob@friend.test", "");
        platform::setClipboardText("before");
        ErrorDialogAnswer answer(false);
        form.butSend->click();
        QCOMPARE(answer.shown, 1);
        QCOMPARE(answer.text, QString::fromLatin1(kNoDns));
        QCOMPARE(platform::clipboardText(), std::string("before"));
        QVERIFY(env.dialogs.calls.empty());
        QVERIFY(form.isVisible());
        form.close();
    }

    // A server that takes the message and then refuses the goodbye: the
    // message is delivered once, never again through the next exchanger.
    void refusedGoodbyeAfterDeliveryIsStillASuccess() {
        testsupport::ScriptedServer smtp;
        smtp.readRequest(false)
            .send(
                "220 ready\r\n250 hello\r\n250 sender ok\r\n250 rcpt ok\r\n354 go on\r\n"
                "250 queued\r\n421 closing now\r\n")
            .stall();
        QVERIFY(smtp.start());
        testsupport::DnsmasqServer dns;
        dns.addMx("sender.test", "localhost", 10);
        dns.addMx("sender.test", "127.0.0.1", 20);
        QVERIFY2(dns.start(), dns.error().c_str());

        Environment env;
        env.settings.ResolverPort = dns.port();
        env.settings.SmtpPort = smtp.port();
        env.settings.TickIntervalMs = 200;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        ErrorDialogAnswer answer(false);
        QTimer::singleShot(0, &form, [&] {
            fill(form, "Ann", "me@sender.test", "Bob", "bob@friend.test", "");
            form.butSend->click();
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(answer.shown, 0);
        QCOMPARE(smtp.connections(), 1);
        QCOMPARE(env.messages(), std::vector<std::string>{"The email was successfully sent."});
        smtp.stop();
    }

    // An own address without "@" is looked up whole; a server that refuses
    // the session puts its reply line in the error dialog.
    void addressWithoutAtIsTheDomainAndARefusalIsShown() {
        testsupport::ScriptedServer smtp;
        smtp.readRequest(false).send("554 no service here\r\n").stall();
        QVERIFY(smtp.start());
        testsupport::DnsmasqServer dns;
        dns.addMx("sender.test", "localhost", 10);
        QVERIFY2(dns.start(), dns.error().c_str());

        Environment env;
        env.settings.ResolverPort = dns.port();
        env.settings.SmtpPort = smtp.port();
        env.settings.TickIntervalMs = 200;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.show();
        fill(form, "Ann", "sender.test", "Bob", "bob@friend.test", "");
        ErrorDialogAnswer answer(false);
        form.butSend->click();
        QCOMPARE(smtp.connections(), 1);
        QCOMPARE(answer.shown, 1);
        QCOMPARE(answer.text, QStringLiteral("554 no service here\r\n") + kAdvice);
        form.close();
        smtp.stop();
    }

    void cancelDuringSendEndsTheSequenceAndClosesTheForm_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel button") << 0;
        QTest::newRow("window closed") << 1;
        QTest::newRow("Escape") << 2;
    }

    // Cancel while an exchanger keeps silent: the step ends as cancelled, no
    // other exchanger gets the message, a second Send meanwhile starts
    // nothing, and the form closes once the sequence has ended.
    void cancelDuringSendEndsTheSequenceAndClosesTheForm() {
        QFETCH(int, how);
        testsupport::ScriptedServer smtp;
        smtp.readRequest(false).stall();
        QVERIFY(smtp.start());
        testsupport::DnsmasqServer dns;
        dns.addMx("sender.test", "localhost", 10);
        dns.addMx("sender.test", "127.0.0.1", 20);
        QVERIFY2(dns.start(), dns.error().c_str());

        Environment env;
        env.settings.ResolverPort = dns.port();
        env.settings.SmtpPort = smtp.port();
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        ErrorDialogAnswer answer(false);
        bool secondSendIgnored = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &form, [&] {
            if (smtp.connections() < 1) return;
            poll.stop();
            form.butSend->click();
            secondSendIgnored = form.Sending() && smtp.connections() == 1;
            if (how == 0)
                form.butCancel->click();
            else if (how == 1)
                form.close();
            else
                QTest::keyClick(form.txtName, Qt::Key_Escape);
            // Closing is deferred until the sequence has ended.
            QVERIFY(form.isVisible());
        });
        QTimer::singleShot(0, &form, [&] {
            fill(form, "Ann", "me@sender.test", "Bob", "bob@friend.test", "");
            poll.start(10);
            form.butSend->click();
        });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
        QVERIFY(secondSendIgnored);
        QCOMPARE(answer.shown, 1);
        QCOMPARE(answer.text, QStringLiteral("Operation has been canceled\r\n") + kAdvice);
        QCOMPARE(smtp.connections(), 1);
        QVERIFY(env.dialogs.calls.empty());
        smtp.stop();
    }

    // Every text the dialog can show, however many lines it takes, is shown
    // whole, with the buttons below it inside the window.
    void errorDialogShowsEveryLine_data() {
        QTest::addColumn<QString>("text");
        const QString advice = QString::fromLatin1(kAdvice);
        QTest::newRow("time-out") << QStringLiteral("Operation timed out\r\n") + advice;
        QTest::newRow("refused") << QStringLiteral("[10061] Connection refused\r\n") + advice;
        QTest::newRow("server reply")
            << QStringLiteral(
                   "554 5.7.1 Service unavailable; client host [127.0.0.1] blocked "
                   "using a list of hosts that are not allowed to send mail here\r\n") +
                   advice;
        QTest::newRow("no DNS") << QString::fromLatin1(kNoDns);
        QTest::newRow("short") << QStringLiteral("x");
    }
    void errorDialogShowsEveryLine() {
        QFETCH(QString, text);
        TEmailErrorDialog dialog(text);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* label = dialog.lblMessage;
        QCOMPARE(label->text(), text);
        QCOMPARE(label->geometry().topLeft(), QPoint(4, 8));
        QCOMPARE(label->width(), 365);
        QVERIFY(label->height() >= 55);
        // Laid out independently of the label: the height its wrapped lines need.
        const QRect needed =
            QFontMetrics(label->font())
                .boundingRect(QRect(0, 0, label->contentsRect().width(), 10000),
                              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
        QVERIFY2(needed.height() <= label->contentsRect().height(),
                 qPrintable(QStringLiteral("%1 > %2").arg(needed.height()).arg(label->height())));
        for (QPushButton* button : {dialog.btnToClipboard, dialog.btnClose}) {
            QVERIFY(button->y() > label->geometry().bottom());
            QVERIFY(dialog.rect().contains(button->geometry()));
            QCOMPARE(button->y(), dialog.btnToClipboard->y());
        }
        QCOMPARE(dialog.width(), 374);
        QCOMPARE(dialog.height() - dialog.btnClose->geometry().bottom() - 1, 4);
        dialog.close();
    }

    // The status line ends before the Send button; a host too long for it is
    // shortened in the middle, the whole text kept as its tool tip.
    void statusLineStaysClearOfTheSendButton_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("backup exchanger")
            << QStringLiteral("Sending through backup.sender.example.");
        QTest::newRow("name server") << QStringLiteral("1/3 127.0.0.1");
        QTest::newRow("long host") << QStringLiteral("Sending through ") +
                                          QString(120, QLatin1Char('m')) +
                                          QStringLiteral(".mail.sender.example.");
    }
    void statusLineStaysClearOfTheSendButton() {
        QFETCH(QString, text);
        Environment env;
        TfrmEmail form(nullptr, env.settings);
        customize(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SetStatus(text.toStdString());
        QLabel* status = form.lblStatus;
        QCOMPARE(status->pos(), QPoint(7, 418));
        QVERIFY(status->geometry().right() < form.butSend->x());
        QVERIFY(!status->geometry().intersects(form.butCancel->geometry()));
        QVERIFY(form.rect().contains(status->geometry()));
        const QFontMetrics metrics(status->font());
        QVERIFY(metrics.horizontalAdvance(status->text()) <= status->contentsRect().width());
        QVERIFY(metrics.height() <= status->contentsRect().height());
        if (metrics.horizontalAdvance(text) <= status->contentsRect().width()) {
            QCOMPARE(status->text(), text);
            QVERIFY(status->toolTip().isEmpty());
        } else {
            QVERIFY(status->text().startsWith(QStringLiteral("Sending thr")));
            QVERIFY(status->text().endsWith(QStringLiteral("sender.example.")));
            QCOMPARE(status->toolTip(), text);
        }
        form.close();
    }

    void errorDialogButtons() {
        {
            TEmailErrorDialog dialog(QStringLiteral("Something failed"));
            QCOMPARE(dialog.size(), QSize(374, 101));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("An error has occurred"));
            QCOMPARE(dialog.lblMessage->geometry(), QRect(4, 8, 365, 55));
            QVERIFY(dialog.lblMessage->wordWrap());
            QCOMPARE(dialog.btnToClipboard->geometry(), QRect(212, 72, 75, 25));
            QCOMPARE(dialog.btnClose->geometry(), QRect(296, 72, 75, 25));
            QCOMPARE(dialog.btnClose->text(), QStringLiteral("&Close"));
            QVERIFY(dialog.btnClose->isDefault());
            QCOMPARE(dialog.btnToClipboard->nextInFocusChain(), dialog.btnClose);
        }
        struct Case {
            std::function<void(TEmailErrorDialog&)> act;
            bool toClipboard;
        };
        const Case cases[] = {
            {[](TEmailErrorDialog& d) { d.btnToClipboard->click(); }, true},
            {[](TEmailErrorDialog& d) { d.btnClose->click(); }, false},
            // Enter presses Close, even with the focus on "To Clipboard".
            {[](TEmailErrorDialog& d) { QTest::keyClick(d.btnToClipboard, Qt::Key_Return); },
             false},
            {[](TEmailErrorDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, false},
        };
        for (const Case& c : cases) {
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<TEmailErrorDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                c.act(*dialog);
            });
            QCOMPARE(TEmailErrorDialog::Execute(QStringLiteral("x")), c.toClipboard);
        }
    }
};

QTEST_MAIN(TestEmailForm)
#include "test_EmailForm.moc"
