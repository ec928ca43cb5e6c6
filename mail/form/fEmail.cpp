#include "mail/form/fEmail.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <exception>

#include "mail/MailErrors.h"
#include "mail/form/EmailErrorDialog.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/QtDialogs.h"

namespace {

constexpr const char* kBoxCaption = "Harvex";
constexpr const char* kMissingFields =
    "Internal Error: All the customization fields must be supplied by the programmer !";
constexpr const char* kWinsockProblem =
    "There was a problem with your computer's Winsock library and a connection to the "
    "Internet could not be made.";
constexpr const char* kClipboardAdvice =
    "You can still send the message to your friend.  Click the \"To Clipboard\" button and "
    "the email message will be put in the Windows Clipboard.  You can then paste it into a "
    "regular email to your friend.";
constexpr const char* kNoDnsServer =
    "A DNS server cannot be found but you can still send the message to your friend.  Click "
    "the \"To Clipboard\" button and the email message will be put in the Windows Clipboard.  "
    "You can then paste it into a regular email to your friend.";
constexpr const char* kSentText = "The email was successfully sent.";
constexpr const char* kAnonymousSender = "A friend";
constexpr const char* kCompany = "available for downloading from Corvane Software's Web Site.";
// With the service name unknown to the system, the SMTP client falls back to
// its default port.
constexpr const char* kPortServiceName = "harvex-email-port";

const std::string kCrLf = "\r\n";

// Texts are byte strings; widgets show UTF-8 when it is valid, else Latin-1.
QString decode(const std::string& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(bytes);
    return text;
}

std::string encode(const QString& text) { return text.toUtf8().toStdString(); }

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QFont pixelFont(const char* family) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(11);
    return font;
}

}  // namespace

TfrmEmail::TfrmEmail(QWidget* parent, TEmailFormSettings settings)
    : QDialog(parent), settings_(std::move(settings)), finder_(ctlMX, ctlHTTP) {
    setObjectName(QStringLiteral("frmEmail"));
    setWindowTitle(QStringLiteral("Email apptitle to a Friend"));
    // A single fixed border with only the system menu.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(pixelFont("Arial"));
    const QFont tahoma = pixelFont("Tahoma");

    lblHeading =
        named(new QLabel(QStringLiteral("Think your friends would like apptitle too? "), this),
              "lblHeading");
    lblHeading->setGeometry(8, 5, 378, 14);
    lblHeading->setFont(tahoma);
    lblHeading->setWordWrap(true);

    lblHeading2 = named(
        new QLabel(QStringLiteral("Simply fill in the form below and press Send. An email will be "
                                  "sent to your friend which contains an HTML link to download "
                                  "apptitle. This makes it easy for your friends to try software "
                                  "that you think is cool."),
                   this),
        "lblHeading2");
    lblHeading2->setGeometry(8, 24, 379, 61);
    lblHeading2->setWordWrap(true);
    lblHeading2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Label3 = named(new QLabel(QStringLiteral("Your Name:"), this), "Label3");
    Label3->move(7, 91);
    Label3->adjustSize();
    txtName = named(new QLineEdit(this), "txtName");
    txtName->setGeometry(7, 107, 383, 22);

    Label4 = named(new QLabel(QStringLiteral("Your Email Address:"), this), "Label4");
    Label4->setFont(tahoma);
    Label4->move(7, 135);
    Label4->adjustSize();
    txtYourEmail = named(new QLineEdit(this), "txtYourEmail");
    txtYourEmail->setGeometry(7, 148, 383, 21);
    txtYourEmail->setFont(tahoma);

    Label6 = named(new QLabel(QStringLiteral("Your Friends Name:"), this), "Label6");
    Label6->setFont(tahoma);
    Label6->move(7, 178);
    Label6->adjustSize();
    txtFriendsName = named(new QLineEdit(this), "txtFriendsName");
    txtFriendsName->setGeometry(7, 191, 383, 21);
    txtFriendsName->setFont(tahoma);

    Label1 = named(new QLabel(QStringLiteral("Friend's Email Address:"), this), "Label1");
    Label1->move(7, 220);
    Label1->adjustSize();
    txtAddress = named(new QLineEdit(this), "txtAddress");
    txtAddress->setGeometry(7, 233, 383, 22);

    lblHeading3 = named(new QLabel(QStringLiteral("You can also add a personalized message to "
                                                  "your friend about how cool apptitle is."),
                                   this),
                        "lblHeading3");
    lblHeading3->setGeometry(8, 272, 383, 31);
    lblHeading3->setWordWrap(true);
    lblHeading3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    memText = named(new QPlainTextEdit(this), "memText");
    memText->setGeometry(4, 307, 391, 79);
    memText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memText->setTabChangesFocus(true);

    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setGeometry(1, 393, 397, 3);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    chkHTML = named(new QCheckBox(QStringLiteral("Send Email as HTML"), this), "chkHTML");
    // Where the font at hand is wider than the layout assumes, the caption
    // must still show whole; there is room up to the Send button.
    chkHTML->setGeometry(6, 400, std::max(118, chkHTML->sizeHint().width()), 17);

    lblStatus = named(new QLabel(this), "lblStatus");
    lblStatus->setTextFormat(Qt::PlainText);

    butSend = named(new QPushButton(QStringLiteral("&Send"), this), "butSend");
    butSend->setGeometry(229, 403, 75, 25);
    butSend->setEnabled(false);

    butCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "butCancel");
    butCancel->setGeometry(319, 403, 75, 25);
    butCancel->setDefault(true);

    // The status line ends before the Send button; a longer text is shortened
    // in the middle so that its beginning and the host's domain both show.
    lblStatus->setGeometry(kStatusLeft, kStatusTop, butSend->x() - kStatusGap - kStatusLeft,
                           kClientHeight - kStatusTop);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    setTabOrder(txtName, txtYourEmail);
    setTabOrder(txtYourEmail, txtFriendsName);
    setTabOrder(txtFriendsName, txtAddress);
    setTabOrder(txtAddress, memText);
    setTabOrder(memText, chkHTML);
    setTabOrder(chkHTML, butSend);
    setTabOrder(butSend, butCancel);
    txtName->setFocus();

    for (QLineEdit* edit : {txtName, txtYourEmail, txtFriendsName, txtAddress})
        connect(edit, &QLineEdit::textChanged, this, &TfrmEmail::txtAddressChange);
    connect(butSend, &QPushButton::clicked, this, &TfrmEmail::butSendClick);
    connect(butCancel, &QPushButton::clicked, this, &TfrmEmail::butCancelClick);

    ctlMX.setTimeOut(kResolverTimeOut);
    ctlMX.Port = settings_.ResolverPort;
    ctlMX.Counter().setTickInterval(settings_.TickIntervalMs);

    ctlMsMail.setWinsockLoaded(true);
    ctlMsMail.DefaultPort = settings_.SmtpPort;
    if (settings_.SmtpPort != TEmailFormSettings::kSmtpPort)
        ctlMsMail.setServiceName(kPortServiceName);
    ctlMsMail.setTimeOut(kSmtpTimeOut);
    ctlMsMail.Counter().setTickInterval(settings_.TickIntervalMs);
    ctlMsMail.MailMessage = &ctlMessage;
    ctlMsMail.OnMailSent = [this] { ctlMsMailMailSent(); };

    ctlMessage.setContentType("text/plain");
    ctlMessage.setReturnReceipt(false);

    ctlHTTP.ProxyPort = "80";
    ctlHTTP.Agent = "Corvane Software Email-A-Friend";
    ctlHTTP.NoCache = false;
    ctlHTTP.ContentTypePost = "application/x-www-form-urlencoded";
    ctlHTTP.MultiThreaded = false;
    ctlHTTP.Counter().setTickInterval(settings_.TickIntervalMs);

    finder_.NameServers = settings_.NameServers;
    finder_.MakerHost = settings_.MakerHost;
    finder_.SetStatus = [this](const std::string& text) {
        // A cancelled send asks no further name server.
        if (canceled_) throw ECanceledError();
        SetStatus(text);
    };
}

TfrmEmail::~TfrmEmail() = default;

platform::Dialogs& TfrmEmail::Dialogs() {
    if (settings_.Dialogs) return *settings_.Dialogs;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<platform::QtDialogs>(this);
    return *ownDialogs_;
}

std::string TfrmEmail::FieldText(const QLineEdit* edit) const { return encode(edit->text()); }

std::string TfrmEmail::SenderName() const {
    const std::string name = FieldText(txtName);
    return name.empty() ? kAnonymousSender : name;
}

void TfrmEmail::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    FormShow();
}

void TfrmEmail::FormShow() {
    if (sAppTitle.empty() || sDownloadURL.empty() || sAppSummary.empty() || sAppDescription.empty())
        Dialogs().messageBox(kBoxCaption, kMissingFields, platform::DialogKind::Plain,
                             platform::kButtonOk);
    const QString title = decode(sAppTitle);
    const QString placeholder = QStringLiteral("apptitle");
    setWindowTitle(windowTitle().replace(placeholder, title, Qt::CaseInsensitive));
    for (QLabel* label : {lblHeading, lblHeading2, lblHeading3})
        label->setText(label->text().replace(placeholder, title, Qt::CaseInsensitive));
    ctlMessage.setSubject(sAppTitle + " is available for you.");
}

void TfrmEmail::txtAddressChange() { butSend->setEnabled(!txtAddress->text().isEmpty()); }

void TfrmEmail::SetStatus(const std::string& text) {
    const QString full = decode(text);
    const QString shown =
        lblStatus->fontMetrics().elidedText(full, Qt::ElideMiddle, lblStatus->width());
    lblStatus->setText(shown);
    lblStatus->setToolTip(shown == full ? QString() : full);
    // The send sequence runs inside one click handler: show the text now.
    lblStatus->repaint();
}

void TfrmEmail::ComposeMessage(const std::string& senderName) {
    const std::string friendName = FieldText(txtFriendsName);
    std::string personal = encode(memText->toPlainText());
    // The memo's lines, joined by CR LF.
    std::string joined;
    for (char c : personal) {
        if (c == '\n')
            joined += kCrLf;
        else
            joined += c;
    }
    personal = joined;

    std::string text;
    if (!chkHTML->isChecked()) {
        ctlMessage.setContentType("text/plain");
        text += "Hello " + friendName + ", " + kCrLf;
        text += senderName + " wanted to let you know about " + sAppTitle + ", " + sAppSummary +
                "  It's " + kCompany + kCrLf + kCrLf;
        text += "Just point your Web Browser to " + sDownloadURL + kCrLf;
        if (!personal.empty())
            text += kCrLf + senderName + " also wanted to send you a special message: " + kCrLf +
                    kCrLf + personal + kCrLf;
        text +=
            kCrLf + "What is " + sAppTitle + "?" + kCrLf + kCrLf + sAppDescription + kCrLf + kCrLf;
    } else {
        ctlMessage.setContentType("text/HTML");
        text += "<HTML>" + kCrLf + "<BODY>" + kCrLf + kCrLf + "<P>Hello " + friendName + ", <BR>";
        text += senderName + " wanted to let you know about " + sAppTitle + ", " + sAppSummary +
                "  It's " + kCompany + "<BR>" + kCrLf + kCrLf;
        text += "<P><A HREF=\"" + sDownloadURL + "\">" + "Click here to download " + sAppTitle +
                "</A><BR>" + kCrLf;
        text += "or point your Web Browser to " + sDownloadURL + "<BR>" + kCrLf;
        if (!personal.empty())
            text += kCrLf + "<P>" + senderName +
                    " also wanted to send you a special message: <BR>" + kCrLf + kCrLf + "<PRE>" +
                    kCrLf + personal + kCrLf + "</PRE>" + kCrLf;
        text += kCrLf + "<P><H2>What is " + sAppTitle + "?</H2>" + kCrLf + kCrLf + sAppDescription +
                kCrLf + kCrLf + "</BODY>" + kCrLf + "</HTML>";
    }
    ctlMessage.setBodyText(text);
}

void TfrmEmail::GetDNSServers(std::vector<std::string>& list) { finder_.GetDNSServers(list); }

void TfrmEmail::FindMailServers(const std::string& address, std::vector<std::string>& list) {
    finder_.FindMailServers(address, list);
}

std::vector<std::string> TfrmEmail::LookUpExchangers() {
    std::vector<std::string> list;
    FindMailServers(FieldText(txtYourEmail), list);
    if (canceled_) throw ECanceledError();
    return list;
}

std::string TfrmEmail::Deliver(const std::vector<std::string>& exchangers) {
    ComposeMessage(SenderName());
    ctlMessage.Sender().setAddress(FieldText(txtYourEmail));
    ctlMessage.Sender().setName(FieldText(txtName));

    std::string failure;
    for (const std::string& entry : exchangers) {
        const std::string host = entry.substr(entry.find('|') + 1);
        SetStatus("Sending through " + host);
        ctlMsMail.Server = host;
        ctlMsMail.setTimeOut(kExchangerTimeOut);
        ctlMessage.Recipients().Clear();
        ctlMessage.Recipients().Add(FieldText(txtAddress), "");
        try {
            ctlMsMail.Send();
            return {};
        } catch (const std::exception& e) {
            // Once the server has taken the message it is delivered; a failed
            // goodbye after that must not send it through another exchanger.
            if (mailSent_) return {};
            failure = std::string(e.what()) + kCrLf + kClipboardAdvice;
        }
        // After Cancel no other exchanger gets the message.
        if (canceled_) break;
    }
    return failure;
}

void TfrmEmail::butSendClick() {
    // One sequence at a time: the components serve a single exchange.
    if (sending_) return;
    sending_ = true;
    canceled_ = false;
    mailSent_ = false;
    pendingResult_ = -1;

    std::string failure;
    try {
        ctlMsMail.setWinsockLoaded(true);
    } catch (...) {
        failure = kWinsockProblem;
    }
    if (failure.empty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            SetStatus("Building DNS list");
            const std::vector<std::string> exchangers = LookUpExchangers();
            failure = exchangers.empty() ? std::string(kNoDnsServer) : Deliver(exchangers);
        } catch (const std::exception& e) {
            failure = std::string(e.what()) + kCrLf + kClipboardAdvice;
        } catch (...) {
            failure = std::string("Error") + kCrLf + kClipboardAdvice;
        }
        SetStatus("");
        QApplication::restoreOverrideCursor();
    }
    if (!failure.empty() && ShowErrorDialog(failure)) btnToClipboardClick();

    sending_ = false;
    if (pendingResult_ >= 0) QDialog::done(pendingResult_);
}

bool TfrmEmail::ShowErrorDialog(const std::string& text) {
    return TEmailErrorDialog::Execute(decode(text), this);
}

void TfrmEmail::btnToClipboardClick() {
    ComposeMessage(SenderName());
    platform::setClipboardText(ctlMessage.BodyText());
    Dialogs().messageBox(kBoxCaption,
                         "The message about " + sAppTitle +
                             " has been placed in the clipboard.  You can now paste it into your "
                             "regular email software and send it to your friend.",
                         platform::DialogKind::Plain, platform::kButtonOk);
}

void TfrmEmail::ctlMsMailMailSent() {
    mailSent_ = true;
    Dialogs().messageBox(kBoxCaption, kSentText, platform::DialogKind::Information,
                         platform::kButtonOk);
    done(QDialog::Accepted);
}

void TfrmEmail::CancelNetwork() {
    canceled_ = true;
    ctlMX.Cancel();
    ctlMsMail.Cancel();
}

void TfrmEmail::butCancelClick() {
    CancelNetwork();
    reject();
}

void TfrmEmail::done(int result) {
    if (sending_) {
        if (result != QDialog::Accepted) CancelNetwork();
        pendingResult_ = result;
        return;
    }
    QDialog::done(result);
}

int OpenEmailForm(QWidget* parent, const TEmailFormSettings& settings) {
    auto form = std::make_unique<TfrmEmail>(parent, settings);
    form->sAppTitle = "the Harvex";
    form->sDownloadURL = "http://" + settings.MakerHost + "/gizmorama/";
    form->sAppSummary = "which lets you download a Web site to your hard drive";
    form->sAppDescription =
        "Frequently, to speed up your work, it is useful to duplicate a Website on your hard "
        "drive. You might want to get all the images of a certain topic off the Website so "
        "you can browse through them at your leisure, or maybe you require all the HTML files on "
        "a Website for research purposes. The Harvex is a tool that automates the whole process "
        "for you.";
    return form->exec();
}
