#include "mail/TimeCounter.h"

TTimeCounter::TTimeCounter() {
    timer_.setInterval(1000);
    timer_.onTimer = [this] { tick(); };
}

void TTimeCounter::Start() {
    remaining_ = timeOut_;
    timer_.setEnabled(true);
}

void TTimeCounter::Stop() { timer_.setEnabled(false); }

void TTimeCounter::tick() {
    --remaining_;
    if (remaining_ <= 0) timedOut_ = true;
}
