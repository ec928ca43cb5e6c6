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

#include "mail/form/EmailErrorDialog.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/QtDialogs.h"

namespace {

constexpr const char* kBoxCaption = "Harvex";
constexpr const char* kMissingFields =
    "Internal Error: All the customization fields must be supplied by the programmer !";
constexpr const char* kSentText = "The email was successfully sent.";

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
    : QDialog(parent),
      sender_(settings),
      ctlMessage(sender_.Message()),
      settings_(std::move(settings)) {
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

    sender_.OnStatus = [this](const std::string& text) { SetStatus(text); };
    sender_.OnBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    sender_.OnDelivered = [this] { ctlMsMailMailSent(); };
}

TfrmEmail::~TfrmEmail() = default;

platform::Dialogs& TfrmEmail::Dialogs() {
    if (settings_.Dialogs) return *settings_.Dialogs;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<platform::QtDialogs>(this);
    return *ownDialogs_;
}

std::string TfrmEmail::FieldText(const QLineEdit* edit) const { return encode(edit->text()); }

TRecommendation TfrmEmail::Recommendation() const {
    TRecommendation r;
    r.SenderName = FieldText(txtName);
    r.SenderAddress = FieldText(txtYourEmail);
    r.FriendName = FieldText(txtFriendsName);
    r.FriendAddress = FieldText(txtAddress);
    r.Personal = encode(memText->toPlainText());
    r.Html = chkHTML->isChecked();
    r.AppTitle = sAppTitle;
    r.DownloadURL = sDownloadURL;
    r.AppSummary = sAppSummary;
    r.AppDescription = sAppDescription;
    return r;
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

void TfrmEmail::ComposeMessage() { sender_.Compose(Recommendation()); }

void TfrmEmail::butSendClick() {
    // One sequence at a time: the components serve a single exchange.
    if (sending_) return;
    sending_ = true;
    pendingResult_ = -1;

    const std::string failure = sender_.Send(Recommendation());
    if (!failure.empty() && ShowErrorDialog(failure)) btnToClipboardClick();

    sending_ = false;
    if (pendingResult_ >= 0) QDialog::done(pendingResult_);
}

bool TfrmEmail::ShowErrorDialog(const std::string& text) {
    return TEmailErrorDialog::Execute(decode(text), this);
}

void TfrmEmail::btnToClipboardClick() {
    ComposeMessage();
    platform::setClipboardText(ctlMessage.BodyText());
    Dialogs().messageBox(kBoxCaption,
                         "The message about " + sAppTitle +
                             " has been placed in the clipboard.  You can now paste it into your "
                             "regular email software and send it to your friend.",
                         platform::DialogKind::Plain, platform::kButtonOk);
}

void TfrmEmail::ctlMsMailMailSent() {
    Dialogs().messageBox(kBoxCaption, kSentText, platform::DialogKind::Information,
                         platform::kButtonOk);
    done(QDialog::Accepted);
}

void TfrmEmail::CancelNetwork() { sender_.Cancel(); }

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
