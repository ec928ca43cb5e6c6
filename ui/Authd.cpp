#include "ui/Authd.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include "ui/Bytes.h"

namespace ui {

TAuthdlg::TAuthdlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Authdlg"));
    setWindowTitle(QStringLiteral("Authorization Request"));
    setModal(true);
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setBold(true);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 300, 147);

    auto label = [this](const char* name, const QString& text, int x, int y) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    Realm = label("Realm", QString(), 25, 26);
    Host = label("Host", QString(), 25, 43);
    Label1 = label("Label1", QStringLiteral("User Name:"), 30, 78);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2 = label("Label2", QStringLiteral("Password:"), 38, 114);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(104, 74, 162, 20);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(104, 110, 162, 20);
    Edit2->setEchoMode(QLineEdit::Password);
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(63, 170, 80, 28);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(174, 170, 80, 28);
    // Enter must not reach a default button: the edits decide what it does.
    for (QPushButton* b : {OKBtn, CancelBtn}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    Edit1->setFocus();
}

bool TAuthdlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == Edit2) accept();
            if (watched == Edit1 || watched == Edit2) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAuthdlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Edit1->setFocus();
}

bool TAuthdlg::Ask(QWidget* parent, const std::string& realm, const std::string& host,
                   std::string& user, std::string& password) {
    // The box runs its own event loop; sockets and timers go on meanwhile, and
    // the parent may go away before it returns.
    QPointer<TAuthdlg> dialog = new TAuthdlg(parent);
    dialog->Realm->setText(QStringLiteral("Enter username for ") + DecodeBytes(realm) +
                           QStringLiteral(" at"));
    dialog->Realm->adjustSize();
    dialog->Host->setText(DecodeBytes(host));
    dialog->Host->adjustSize();
    const int result = dialog->exec();
    if (!dialog) return false;
    const bool ok = result == QDialog::Accepted;
    if (ok) {
        user = EncodeText(dialog->Edit1->text());
        password = EncodeText(dialog->Edit2->text());
    }
    delete dialog.data();
    return ok;
}

http::TAuthDialog TAuthdlg::handlerFor(QWidget* parent) {
    QPointer<QWidget> owner = parent;
    return
        [owner](http::TWeb*, const std::string& realm, const std::string& host, std::string& user,
                std::string& password) { return Ask(owner.data(), realm, host, user, password); };
}

}  // namespace ui
