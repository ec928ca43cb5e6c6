#include "mail/form/EmailErrorDialog.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

TEmailErrorDialog::TEmailErrorDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EmailErrorDialog"));
    setWindowTitle(QStringLiteral("An error has occurred"));
    // A dialog border with only the system menu: no minimise, maximise or help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setForegroundRole(QPalette::WindowText);

    lblMessage = new QLabel(text, this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage->setTextFormat(Qt::PlainText);
    // An error line and the clipboard advice take five lines or more: the label
    // grows to hold them all, and the buttons and the window move down with it.
    const int labelHeight = std::max(kLabelHeight, lblMessage->heightForWidth(kLabelWidth));
    lblMessage->setGeometry(kLabelLeft, kLabelTop, kLabelWidth, labelHeight);
    const int buttonTop = kLabelTop + labelHeight + kButtonGap;
    setFixedSize(kClientWidth, buttonTop + kButtonHeight + kBottomMargin);

    btnToClipboard = new QPushButton(QStringLiteral("To Clipboard"), this);
    btnToClipboard->setObjectName(QStringLiteral("btnToClipboard"));
    btnToClipboard->setGeometry(212, buttonTop, 75, kButtonHeight);
    // Enter presses Close even while this button has the focus.
    btnToClipboard->setAutoDefault(false);
    connect(btnToClipboard, &QPushButton::clicked, this, &QDialog::accept);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(296, buttonTop, 75, kButtonHeight);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(btnToClipboard, btnClose);
    btnToClipboard->setFocus();
}

bool TEmailErrorDialog::Execute(const QString& text, QWidget* parent) {
    TEmailErrorDialog dialog(text, parent);
    return dialog.exec() == QDialog::Accepted;
}

void TEmailErrorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}
