#include "mail/form/EmailErrorDialog.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TEmailErrorDialog::TEmailErrorDialog(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EmailErrorDialog"));
    setWindowTitle(QStringLiteral("An error has occurred"));
    // A dialog border with only the system menu: no minimise, maximise or help.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setForegroundRole(QPalette::WindowText);

    lblMessage = new QLabel(text, this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setGeometry(4, 8, 365, 55);
    lblMessage->setWordWrap(true);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage->setTextFormat(Qt::PlainText);

    btnToClipboard = new QPushButton(QStringLiteral("To Clipboard"), this);
    btnToClipboard->setObjectName(QStringLiteral("btnToClipboard"));
    btnToClipboard->setGeometry(212, 72, 75, 25);
    // Enter presses Close even while this button has the focus.
    btnToClipboard->setAutoDefault(false);
    connect(btnToClipboard, &QPushButton::clicked, this, &QDialog::accept);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(296, 72, 75, 25);
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
