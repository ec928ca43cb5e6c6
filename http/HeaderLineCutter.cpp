#include "http/HeaderLineCutter.h"

#include "platform/ByteText.h"

namespace http {

void HeaderLineCutter::reset() {
    line_.clear();
    pendingEnd_ = 0;
    lineHasText_ = false;
    afterLineEnd_ = false;
    complete_ = false;
    awaitsLineFeed_ = false;
}

void HeaderLineCutter::endLine(std::vector<std::string>& lines) {
    std::string t = platform::Trimmed(line_);
    if (!t.empty() && lines.size() < kMaxLines) lines.push_back(std::move(t));
    line_.clear();
}

std::size_t HeaderLineCutter::feed(const char* data, std::size_t size,
                                   std::vector<std::string>& lines) {
    std::size_t i = 0;
    while (i < size && !complete_) {
        char c = data[i++];
        if (c == '\r' || c == '\n') {
            if (pendingEnd_ != 0 && c != pendingEnd_) {
                // The partner of the line end just seen: CR LF or LF CR.
                pendingEnd_ = 0;
                continue;
            }
            pendingEnd_ = c;
            if (!lineHasText_ && afterLineEnd_) {
                // Two line ends in a row: the header is over. Only the partner of
                // this last line end is skipped; what follows is body, even when
                // it begins with CR or LF.
                complete_ = true;
                if (c == '\r') {
                    if (i < size) {
                        if (data[i] == '\n') ++i;
                    } else {
                        awaitsLineFeed_ = true;
                    }
                }
                break;
            }
            endLine(lines);
            lineHasText_ = false;
            afterLineEnd_ = true;
            continue;
        }
        pendingEnd_ = 0;
        lineHasText_ = true;
        if (line_.size() < kMaxLineLength) line_.push_back(c);
    }
    return i;
}

std::size_t HeaderLineCutter::finalLineFeed(const char* data, std::size_t size) {
    if (!awaitsLineFeed_ || size == 0) return 0;
    awaitsLineFeed_ = false;
    return data[0] == '\n' ? 1 : 0;
}

}  // namespace http
