#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

namespace ui {

// Paints a window at most once per interval. While a copy runs the engine
// turns the event loop several times per file and changes the status page on
// most turns; painting it on every turn costs more than the copy itself. A
// paint request that comes too soon is held back and sent when the interval
// is over, so the latest state is always shown within one interval.
class TPaintThrottle : public QObject {
public:
    TPaintThrottle(QWidget* window, int intervalMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    int intervalMs_;
    QElapsedTimer sincePaint_;
    QTimer later_;
    bool releasing_ = false;  // the held-back request is being sent
};

}  // namespace ui
