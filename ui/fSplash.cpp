#include "ui/fSplash.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "platform/Timer.h"
#include "ui/Resources.h"

namespace ui {

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      timer1_(std::make_unique<platform::Timer>()) {
    setObjectName(QStringLiteral("frmSplash"));
    InitResources();
    setFixedSize(kClientWidth, kClientHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kClientWidth, kClientHeight);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/splash.png")));

    QFont font(QStringLiteral("Arial"), 8);
    font.setBold(true);
    QPalette navy;
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1 = new QLabel(QStringLiteral("Version 1.25"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(font);
    Label1->setPalette(navy);
    Label1->move(288, 128);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("Copies a web site to your disk"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setPalette(navy);
    Label2->move(155, 260);
    Label2->adjustSize();

    timer1_->setInterval(kInterval);
    timer1_->setEnabled(false);
    timer1_->onTimer = [this] { Timer1Timer(); };

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmSplash::~TfrmSplash() = default;

bool TfrmSplash::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(event);
}

void TfrmSplash::FormActivate() { timer1_->setEnabled(true); }

void TfrmSplash::Timer1Timer() {
    timer1_->setEnabled(false);
    close();
}

}  // namespace ui
