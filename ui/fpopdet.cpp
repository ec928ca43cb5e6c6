#include "ui/fpopdet.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "platform/EventPump.h"
#include "ui/Resources.h"

namespace ui {

TfrmPopDet::TfrmPopDet(QWidget* parent)
    : TGradientForm(parent, TFormBorderStyle::bsDialog, biSystemMenu) {
    setObjectName(QStringLiteral("frmPopDet"));
    InitResources();
    // Twenty-two letters e.
    SetCaption(QStringLiteral("Yeaahh Boy") + QString(22, QLatin1Char('e')));
    setWindowIcon(QIcon(QStringLiteral(":/images/credits-icon.png")));
    SetClientSize(kClientWidth, kClientHeight);

    Image1 = new QLabel(ClientArea());
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(-1, 0, 241, 347);
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/credits.png")));
    Image1->setToolTip(QStringLiteral("tectonix"));

    Button1 = new QPushButton(QStringLiteral("tectonix is in da house!"), ClientArea());
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(0, 348, 241, 22);
    QFont bold(QStringLiteral("MS Sans Serif"), 11);
    bold.setBold(true);
    Button1->setFont(bold);
    connect(Button1, &QPushButton::clicked, this, &TfrmPopDet::Button1Click);
    CenterOnScreen();
}

void TfrmPopDet::ShowModal() {
    if (modal_) return;
    modal_ = true;
    setWindowModality(Qt::ApplicationModal);
    CenterOnScreen();
    show();
    raise();
    activateWindow();
    platform::waitUntil([this] { return !isVisible(); });
    modal_ = false;
}

void TfrmPopDet::Button1Click() { close(); }

void TfrmPopDet::closeEvent(QCloseEvent* event) {
    // Closing only hides: the dialog lives as long as the program.
    hide();
    event->ignore();
}

}  // namespace ui
