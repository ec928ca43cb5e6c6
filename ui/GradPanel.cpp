#include "ui/GradPanel.h"

#include <QImage>
#include <QPainter>
#include <cmath>

namespace ui {

namespace {
int mix(int left, int right, int i) {
    const double value = right / 63.0 * i + left / 63.0 * (63 - i);
    return static_cast<int>(std::nearbyint(value));  // default rounding: halves to even
}
}  // namespace

TGradPanel::TGradPanel(QWidget* parent) : QWidget(parent) {
    colors_ = BuildColorTable(palette().color(QPalette::Light), palette().color(QPalette::Dark));
}

TGradPanel::ColorTable TGradPanel::BuildColorTable(const QColor& left, const QColor& right) {
    ColorTable table;
    for (int i = 0; i < kColors; ++i) {
        table[i] = QColor(mix(left.red(), right.red(), i), mix(left.green(), right.green(), i),
                          mix(left.blue(), right.blue(), i));
    }
    return table;
}

void TGradPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int depth = depthOverride_ > 0 ? depthOverride_ : this->depth();
    if (depth <= 8) {
        painter.fillRect(rect(), colors_[0]);
        return;
    }
    QImage strip(kColors, 1, QImage::Format_RGB32);
    for (int i = 0; i < kColors; ++i) strip.setPixelColor(i, 0, colors_[i]);
    painter.drawImage(rect(), strip);
}

}  // namespace ui
