#include "ui/PaintThrottle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace ui {

TPaintThrottle::TPaintThrottle(QWidget* window, int intervalMs)
    : QObject(window), window_(window), intervalMs_(intervalMs) {
    later_.setSingleShot(true);
    later_.setTimerType(Qt::PreciseTimer);
    connect(&later_, &QTimer::timeout, this, [this] {
        // The window's repaint bookkeeping still waits for the request it
        // posted; this one takes its place.
        releasing_ = true;
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window_, &request);
        releasing_ = false;
    });
    window->installEventFilter(this);
}

bool TPaintThrottle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
    if (releasing_ || !sincePaint_.isValid() || sincePaint_.elapsed() >= intervalMs_) {
        later_.stop();
        sincePaint_.restart();
        return false;
    }
    if (!later_.isActive()) later_.start(static_cast<int>(intervalMs_ - sincePaint_.elapsed()));
    return true;
}

}  // namespace ui
