#include "ui/Animate.h"

#include <QPainter>

#include "platform/Timer.h"

namespace ui {

TAnimate::TAnimate(QWidget* parent) : QWidget(parent), timer_(std::make_unique<platform::Timer>()) {
    // Opaque, like a clip played on the window's colour: it may cover a control.
    setAutoFillBackground(true);
    timer_->setInterval(kFrameInterval);
    timer_->onTimer = [this] {
        if (frames_.empty()) return;
        current_ = (current_ + 1) % FrameCount();
        update();
    };
}

TAnimate::~TAnimate() = default;

bool TAnimate::Load(const QString& resource, int frameWidth) {
    frames_.clear();
    const QPixmap strip(resource);
    if (strip.isNull() || frameWidth <= 0) return false;
    for (int x = 0; x + frameWidth <= strip.width(); x += frameWidth)
        frames_.push_back(strip.copy(x, 0, frameWidth, strip.height()));
    current_ = std::min(stopFrame_, std::max(0, FrameCount() - 1));
    update();
    return !frames_.empty();
}

void TAnimate::SetStopFrame(int frame) {
    stopFrame_ = frame;
    if (!active_) {
        current_ = std::min(frame, std::max(0, FrameCount() - 1));
        update();
    }
}

void TAnimate::SetActive(bool active) {
    active_ = active;
    timer_->setEnabled(active && !frames_.empty());
    if (!active) current_ = std::min(stopFrame_, std::max(0, FrameCount() - 1));
    update();
}

void TAnimate::paintEvent(QPaintEvent*) {
    if (frames_.empty()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, frames_[current_]);
}

}  // namespace ui
