#include "http/BufferStream.h"

#include <algorithm>
#include <cstring>

#include "platform/FileStream.h"

namespace http {

BufferStream::BufferStream() = default;

BufferStream::BufferStream(const std::string& path) : file_(platform::FileStream::create(path)) {}

BufferStream::~BufferStream() = default;

bool BufferStream::append(const char* data, std::size_t size) {
    if (!file_) {
        memory_.append(data, size);
        return true;
    }
    file_->seek(file_->size());
    bool ok = file_->write(data, size);
    file_->seek(position_);
    return ok;
}

std::size_t BufferStream::read(char* buffer, std::size_t size) {
    if (file_) {
        file_->seek(position_);
        std::size_t n = file_->read(buffer, size);
        position_ += static_cast<std::int64_t>(n);
        return n;
    }
    auto available = static_cast<std::int64_t>(memory_.size()) - position_;
    if (available <= 0) return 0;
    std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(available));
    std::memcpy(buffer, memory_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

void BufferStream::seek(std::int64_t position) { position_ = std::max<std::int64_t>(0, position); }

std::int64_t BufferStream::size() const {
    return file_ ? file_->size() : static_cast<std::int64_t>(memory_.size());
}

}  // namespace http
