#include "ui/StatusFields.h"

#include <QLabel>
#include <QProgressBar>

namespace ui {

TStatusFields::TStatusFields(QObject* parent, int intervalMs) : QObject(parent) {
    tick_.setSingleShot(true);
    tick_.setInterval(intervalMs);
    connect(&tick_, &QTimer::timeout, this, [this] { flush(); });
}

void TStatusFields::startTick() {
    // Started by the first value of an interval, not restarted by the later
    // ones: a steady stream of values is still shown every interval.
    if (!tick_.isActive()) tick_.start();
}

void TStatusFields::setText(QLabel* label, const QString& text) {
    for (WaitingText& waiting : texts_) {
        if (waiting.label == label) {
            waiting.text = text;
            return;
        }
    }
    texts_.push_back({label, text});
    startTick();
}

void TStatusFields::setProgress(QProgressBar* bar, int value) {
    bar_ = bar;
    progress_ = value;
    startTick();
}

void TStatusFields::flush() {
    tick_.stop();
    std::vector<WaitingText> texts;
    texts.swap(texts_);
    for (const WaitingText& waiting : texts) {
        if (waiting.label) waiting.label->setText(waiting.text);
    }
    if (progress_ && bar_) bar_->setValue(*progress_);
    progress_.reset();
}

}  // namespace ui
