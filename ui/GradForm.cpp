#include "ui/GradForm.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWhatsThis>
#include <QWindow>
#include <cmath>

namespace ui {

namespace {
// Window hit-test codes of the borders, as the window system numbers them.
constexpr int kHtLeft = 10, kHtRight = 11, kHtTop = 12, kHtTopLeft = 13, kHtTopRight = 14,
              kHtBottom = 15, kHtBottomLeft = 16, kHtBottomRight = 17;
}  // namespace

TGradientForm::TGradientForm(QWidget* parent, TFormBorderStyle style, unsigned borderIcons)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      borderStyle_(style),
      borderIcons_(borderIcons) {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setAutoFillBackground(true);
    setMouseTracking(true);
    buildTables();
    buildFont();
    layoutClient();
}

TGradientForm::~TGradientForm() = default;

void TGradientForm::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    // The window manager's task list still wants a title.
    setWindowTitle(caption);
    PaintCaption(IsActive());
}

void TGradientForm::SetGradientColors(int colors) {
    if (colors < kMinGradientColors || colors > kMaxGradientColors) return;
    const bool changed = colors != gradientColors_;
    gradientColors_ = colors;
    buildTables();
    if (changed) update();
}

void TGradientForm::SetPaintGradient(TGFPaintWhen when) {
    if (when == paintGradient_) return;
    paintGradient_ = when;
    update();
}

std::vector<QColor> TGradientForm::BuildColorTable(const QColor& target, int n) {
    std::vector<QColor> table(n);
    auto channel = [n](int value, int j) {
        return static_cast<int>(std::nearbyint(value / static_cast<double>(n - 1) * j));
    };
    for (int j = 0; j < n; ++j) {
        table[j] =
            QColor(channel(target.red(), j), channel(target.green(), j), channel(target.blue(), j));
    }
    return table;
}

QColor TGradientForm::CaptionColor(const QPalette& palette, bool active) {
    return active ? palette.color(QPalette::Active, QPalette::Highlight)
                  : palette.color(QPalette::Inactive, QPalette::Mid);
}

Qt::CursorShape TGradientForm::CursorForHitTest(int code) {
    switch (code) {
        case kHtLeft:
        case kHtRight:
            return Qt::SizeHorCursor;
        case kHtTop:
        case kHtBottom:
            return Qt::SizeVerCursor;
        case kHtTopLeft:
        case kHtBottomRight:
            return Qt::SizeFDiagCursor;
        case kHtTopRight:
        case kHtBottomLeft:
            return Qt::SizeBDiagCursor;
        default:
            return Qt::ArrowCursor;
    }
}

void TGradientForm::buildTables() {
    tables_[0] = BuildColorTable(CaptionColor(palette(), false), gradientColors_);
    tables_[1] = BuildColorTable(CaptionColor(palette(), true), gradientColors_);
}

void TGradientForm::buildFont() {
    captionFont_ = QApplication::font();
    captionFont_.setBold(true);
    if (isToolWindow()) captionFont_.setPointSizeF(captionFont_.pointSizeF() * 0.9);
}

bool TGradientForm::isToolWindow() const {
    return borderStyle_ == TFormBorderStyle::bsToolWindow ||
           borderStyle_ == TFormBorderStyle::bsSizeToolWin;
}

int TGradientForm::frameWidth() const {
    switch (borderStyle_) {
        case TFormBorderStyle::bsNone:
            return 0;
        case TFormBorderStyle::bsSizeable:
        case TFormBorderStyle::bsSizeToolWin:
            return kSizingFrame;
        default:
            return kDialogFrame;
    }
}

int TGradientForm::captionHeight() const {
    if (borderStyle_ == TFormBorderStyle::bsNone) return 0;
    return isToolWindow() ? kSmallCaptionHeight : kCaptionHeight;
}

void TGradientForm::SetClientSize(int w, int h) {
    const int f = frameWidth();
    setFixedSize(w + 2 * f, h + 2 * f + captionHeight());
    layoutClient();
}

void TGradientForm::CenterOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TGradientForm::layoutClient() {
    const int f = frameWidth();
    client_->setGeometry(f, f + captionHeight(), std::max(0, width() - 2 * f),
                         std::max(0, height() - 2 * f - captionHeight()));
}

bool TGradientForm::IsActive() const {
    if (activeOverride_ >= 0) return activeOverride_ != 0;
    return isActiveWindow();
}

TGradientForm::CaptionLayout TGradientForm::ComputeCaptionLayout(bool maximized) const {
    CaptionLayout layout;
    if (borderStyle_ == TFormBorderStyle::bsNone) return layout;
    const int f = frameWidth();
    // The caption's bottom is top + caption height - 1 (exclusive edge).
    layout.caption = QRect(f, f, std::max(0, width() - 2 * f), captionHeight() - 1);
    // Edges as left/top/right/bottom with exclusive right and bottom.
    int left = 0, top = 0, right = layout.caption.width(), bottom = layout.caption.height();
    left += 1;
    const bool systemMenu = borderIcons_ & biSystemMenu;
    if (systemMenu && (borderStyle_ == TFormBorderStyle::bsSingle ||
                       borderStyle_ == TFormBorderStyle::bsSizeable)) {
        layout.hasIcon = true;
        layout.icon = QRect(left + 1, top + 1, kSmallIcon, kSmallIcon);
        left += kSmallIcon + 1;
    }
    int bl = left + 2, bt = top + 2, br = right - 2, bb = bottom - 2;
    auto addButton = [&](CaptionButton::Kind kind, bool enabled) {
        layout.buttons.push_back({kind, QRect(bl, bt, br - bl, bb - bt), enabled});
    };
    if (isToolWindow()) {
        bl = br - kSmallCaptionButton + 2;
        addButton(CaptionButton::Close, true);
        right = bl - 5;
    } else {
        const int a = kSmallIcon;
        bl = br - a;
        if (systemMenu) {
            addButton(CaptionButton::Close, true);
            bl -= a + 2;
            br -= a + 2;
            right -= a + 2;
            if (borderStyle_ != TFormBorderStyle::bsDialog) {
                addButton(maximized ? CaptionButton::Restore : CaptionButton::Maximize,
                          borderIcons_ & biMaximize);
                bl -= a;
                br -= a;
                addButton(CaptionButton::Minimize, borderIcons_ & biMinimize);
                bl -= a;
                br -= a;
                right -= 2 * a;
            } else if (borderIcons_ & biHelp) {
                addButton(CaptionButton::Help, true);
                right -= a;
            }
        }
        right -= 3;
    }
    layout.textArea = QRect(left, top, std::max(0, right - left), bottom - top);
    return layout;
}

QPixmap TGradientForm::RenderCaption(bool active) {
    const CaptionLayout layout = ComputeCaptionLayout(isMaximized());
    if (layout.caption.isEmpty()) return {};
    QPixmap bitmap(layout.caption.size());
    QPainter painter(&bitmap);
    const QRect r(QPoint(0, 0), layout.caption.size());
    const bool gradient = !(paintGradient_ == TGFPaintWhen::gfpNever ||
                            (paintGradient_ == TGFPaintWhen::gfpActive && !active));
    if (!gradient) {
        painter.fillRect(r, CaptionColor(palette(), active));
    } else {
        const auto& table = ColorTable(active ? 1 : 0);
        const int n = static_cast<int>(table.size());
        QImage strip(n, 1, QImage::Format_RGB32);
        for (int i = 0; i < n; ++i) strip.setPixelColor(i, 0, table[i]);
        painter.drawImage(r, strip, QRect(0, 0, n - 1, 1));
    }
    if (layout.hasIcon) {
        QIcon icon = windowIcon();
        if (icon.isNull()) icon = QApplication::windowIcon();
        if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_TitleBarMenuButton);
        const QPixmap small = icon.pixmap(kSmallIcon, kSmallIcon);
        painter.drawPixmap(layout.icon, small);
    }
    for (const auto& button : layout.buttons)
        drawCaptionButton(painter, button,
                          pressedOver_ && pressedButton_ && *pressedButton_ == button.kind);
    QRect textArea = layout.textArea;
    painter.setFont(captionFont_);
    if (OnCaptionPaint) OnCaptionPaint(this, painter, textArea);
    textArea.setLeft(textArea.left() + 2);
    painter.setPen(Qt::white);
    const QString text =
        QFontMetrics(captionFont_).elidedText(caption_, Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    return bitmap;
}

void TGradientForm::PaintCaption(bool /*active*/) {
    const QRect caption = ComputeCaptionLayout(isMaximized()).caption;
    if (!caption.isEmpty()) update(caption);
}

void TGradientForm::drawCaptionButton(QPainter& painter, const CaptionButton& button,
                                      bool pressed) const {
    const QRect r = button.rect;
    if (r.width() <= 2 || r.height() <= 2) return;
    const QPalette pal = palette();
    painter.fillRect(r, pal.color(QPalette::Button));
    // Pressed, the bevel turns inward and the glyph moves one pixel down-right.
    painter.setPen(pal.color(pressed ? QPalette::Shadow : QPalette::Light));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(pal.color(pressed ? QPalette::Light : QPalette::Shadow));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    const QRect g = r.adjusted(4, 3, -4, -3).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    auto glyph = [&](const QColor& color, int dx) {
        QPen pen(color);
        pen.setWidth(2);
        painter.setPen(pen);
        const QRect q = g.translated(dx, dx);
        switch (button.kind) {
            case CaptionButton::Close:
                painter.drawLine(q.topLeft(), q.bottomRight());
                painter.drawLine(q.topRight(), q.bottomLeft());
                break;
            case CaptionButton::Maximize:
                painter.drawRect(q.adjusted(0, 0, -1, -1));
                break;
            case CaptionButton::Restore:
                painter.drawRect(q.adjusted(2, 0, 0, -2));
                painter.drawRect(q.adjusted(0, 2, -2, 0));
                break;
            case CaptionButton::Minimize:
                painter.drawLine(q.left(), q.bottom(), q.right() - 2, q.bottom());
                break;
            case CaptionButton::Help:
                painter.drawText(q, Qt::AlignCenter, QStringLiteral("?"));
                break;
        }
    };
    if (button.enabled) {
        glyph(Qt::black, 0);
    } else {
        glyph(pal.color(QPalette::Light), 1);
        glyph(pal.color(QPalette::Dark), 0);
    }
}

void TGradientForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int f = frameWidth();
    if (f > 0) {
        const QPalette pal = palette();
        const QRect r = rect();
        painter.fillRect(r, pal.color(QPalette::Window));
        painter.setPen(pal.color(QPalette::Light));
        painter.drawLine(r.left(), r.top(), r.right(), r.top());
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
        painter.setPen(pal.color(QPalette::Shadow));
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    }
    const QRect caption = ComputeCaptionLayout(isMaximized()).caption;
    if (!caption.isEmpty()) painter.drawPixmap(caption.topLeft(), RenderCaption(IsActive()));
}

void TGradientForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutClient();
    PaintCaption(IsActive());
}

void TGradientForm::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::ActivationChange:
            PaintCaption(IsActive());
            break;
        case QEvent::PaletteChange:
            // The system colours changed: the caption follows them.
            buildTables();
            update();
            break;
        case QEvent::FontChange:
        case QEvent::ApplicationFontChange:
            buildFont();
            update();
            break;
        default:
            break;
    }
    QWidget::changeEvent(event);
}

int TGradientForm::hitTest(const QPoint& pos) const {
    if (borderStyle_ != TFormBorderStyle::bsSizeable &&
        borderStyle_ != TFormBorderStyle::bsSizeToolWin)
        return 0;
    const int f = frameWidth();
    const bool l = pos.x() < f, r = pos.x() >= width() - f;
    const bool t = pos.y() < f, b = pos.y() >= height() - f;
    if (t && l) return kHtTopLeft;
    if (t && r) return kHtTopRight;
    if (b && l) return kHtBottomLeft;
    if (b && r) return kHtBottomRight;
    if (l) return kHtLeft;
    if (r) return kHtRight;
    if (t) return kHtTop;
    if (b) return kHtBottom;
    return 0;
}

std::optional<TGradientForm::CaptionButton> TGradientForm::captionButtonAt(
    const QPoint& pos) const {
    const CaptionLayout layout = ComputeCaptionLayout(isMaximized());
    if (!layout.caption.contains(pos)) return std::nullopt;
    const QPoint local = pos - layout.caption.topLeft();
    for (const auto& button : layout.buttons)
        if (button.rect.contains(local)) return button;
    return std::nullopt;
}

void TGradientForm::mousePressEvent(QMouseEvent* event) {
    const CaptionLayout layout = ComputeCaptionLayout(isMaximized());
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !layout.caption.contains(pos)) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (const auto button = captionButtonAt(pos)) {
        // A caption button acts on release over itself; the press only arms it.
        if (button->enabled) {
            pressedButton_ = button->kind;
            pressedOver_ = true;
            PaintCaption(IsActive());
        }
        return;
    }
    // Let the window manager move us when it can; otherwise follow the mouse.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TGradientForm::mouseMoveEvent(QMouseEvent* event) {
    if (pressedButton_) {
        // The button shows pressed only while the mouse is over it.
        const auto button = captionButtonAt(event->position().toPoint());
        const bool over = button && button->kind == *pressedButton_;
        if (over != pressedOver_) {
            pressedOver_ = over;
            PaintCaption(IsActive());
        }
        return;
    }
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    setCursor(CursorForHitTest(hitTest(event->position().toPoint())));
    QWidget::mouseMoveEvent(event);
}

void TGradientForm::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    if (pressedButton_ && event->button() == Qt::LeftButton) {
        const CaptionButton::Kind pressed = *pressedButton_;
        pressedButton_.reset();
        pressedOver_ = false;
        PaintCaption(IsActive());
        // Released elsewhere: the user dragged off to cancel.
        const auto button = captionButtonAt(event->position().toPoint());
        if (button && button->kind == pressed && button->enabled) clickCaptionButton(pressed);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TGradientForm::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click on a caption button is one more press of it.
    if (event->button() == Qt::LeftButton && captionButtonAt(event->position().toPoint())) {
        mousePressEvent(event);
        return;
    }
    const CaptionLayout layout = ComputeCaptionLayout(isMaximized());
    if (layout.caption.contains(event->position().toPoint()) && (borderIcons_ & biMaximize)) {
        clickCaptionButton(isMaximized() ? CaptionButton::Restore : CaptionButton::Maximize);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TGradientForm::clickCaptionButton(CaptionButton::Kind kind) {
    switch (kind) {
        case CaptionButton::Close:
            close();
            break;
        case CaptionButton::Maximize:
            showMaximized();
            break;
        case CaptionButton::Restore:
            showNormal();
            break;
        case CaptionButton::Minimize:
            showMinimized();
            break;
        case CaptionButton::Help:
            QWhatsThis::enterWhatsThisMode();
            break;
    }
}

}  // namespace ui
