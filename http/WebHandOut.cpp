#include "http/BufferStream.h"
#include "http/Web.h"
#include "http/WebInternal.h"
#include "platform/FileStream.h"
#include "platform/MessageReceiver.h"

// The request mode's hand-out: RequestData asks for a block of the document
// and gets it, with its context and levels, from the data read so far.

namespace http {

bool TWeb::raiseContext(const QueuedRequest& r) {
    if (contentLength_ > 0) {
        percentDone_ = static_cast<int>(std::llround(static_cast<double>(bytesReceived_) * 100.0 /
                                                     static_cast<double>(contentLength_)));
        bytesRemaining_ = contentLength_ - bytesReceived_;
    }
    const TContextEvent* events[] = {&OnContext1, &OnContext2, &OnContext3, &OnContext4,
                                     &OnContext5, &OnContext6, &OnContext7, &OnContext8};
    const TContextEvent& e =
        (r.context >= 2 && r.context <= 8) ? *events[r.context - 1] : OnContext1;
    return raise(e, r.context, r.level1, r.level2);
}

void TWeb::handOutFromRead() {
    if (!bufferStream_) return;
    QueuedRequest r = requests_.front();
    if (bufferStream_->size() < readPosition_ + r.length) {
        if (!Connected()) requests_.clear();
        return;
    }
    requests_.pop_front();
    bufferStream_->seek(readPosition_);
    std::memset(r.buffer, 0, static_cast<std::size_t>(r.length));
    std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(r.length));
    if (!peekMode_) readPosition_ += static_cast<std::int64_t>(n);
    bufferStream_->seek(readPosition_);
    lengthHandedOut_ = static_cast<int>(n);
    level1_ = r.level1;
    level2_ = r.level2;
    if (phase_ != Phase::Cancelled) raiseContext(r);
}

void TWeb::handOutFromClose() {
    if (requests_.empty() || !bufferStream_) return;
    QueuedRequest r = requests_.front();
    requests_.pop_front();
    bufferStream_->seek(readPosition_);
    std::memset(r.buffer, 0, static_cast<std::size_t>(r.length));
    std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(r.length));
    readPosition_ += static_cast<std::int64_t>(n);
    lengthHandedOut_ = static_cast<int>(n);
    if (phase_ != Phase::Cancelled) raiseContext(r);
}

// Not called once the retrieval was cancelled (dispatch).
void TWeb::deliverNext() {
    if (requests_.empty()) return;
    QueuedRequest r = requests_.front();
    if (peekMode_) {
        requests_.pop_front();
        raiseContext(r);
        return;
    }
    const auto length = static_cast<std::size_t>(r.length);
    if (localStream_) {
        requests_.pop_front();
        std::memset(r.buffer, 0, length);
        std::size_t n = localStream_->read(r.buffer, length);
        lengthHandedOut_ = static_cast<int>(n);
        if (n < length) {
            // A short read ends the document.
            closeConnection();
            if (n > 0 && !raiseContext(r)) return;
            raiseDisconnectOnce();
        } else {
            raiseContext(r);
        }
        return;
    }
    if (!bufferStream_) return;
    std::int64_t available = bufferStream_->size() - readPosition_;
    if (available < r.length) {
        if (Connected()) return;  // the next read hands it out
        requests_.pop_front();
        if (available <= 0) {
            closeConnection();
            raiseDisconnectOnce();
            return;
        }
        std::memset(r.buffer, 0, length);
        bufferStream_->seek(readPosition_);
        std::size_t n = bufferStream_->read(r.buffer, static_cast<std::size_t>(available));
        readPosition_ += static_cast<std::int64_t>(n);
        lengthHandedOut_ = static_cast<int>(n);
        if (!raiseContext(r)) return;
        closeConnection();
        raiseDisconnectOnce();
        return;
    }
    requests_.pop_front();
    std::memset(r.buffer, 0, length);
    bufferStream_->seek(readPosition_);
    std::size_t n = bufferStream_->read(r.buffer, length);
    readPosition_ += static_cast<std::int64_t>(n);
    lengthHandedOut_ = static_cast<int>(n);
    raiseContext(r);
}

}  // namespace http
