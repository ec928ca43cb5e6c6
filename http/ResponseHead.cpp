#include "http/ResponseHead.h"

#include "http/WebInternal.h"
#include "platform/ByteText.h"

namespace http {

TResponseHead TResponseHead::read(const std::vector<std::string>& lines) {
    TResponseHead head;
    if (!lines.empty()) {
        const std::string& first = lines[0];
        if (platform::UpperCase(first.substr(0, 4)) == "HTTP") {
            head.statusLine = true;
            head.httpMajor = digitAt(first, 5);
            head.httpMinor = digitAt(first, 7);
            auto blank = first.find(' ');
            if (blank != std::string::npos) {
                const std::string status = leftTrimmedBlanks(first.substr(blank + 1));
                head.statusText = status;
                head.statusClass = digitAt(status, 0);
                head.statusDetail = digitAt(status, 1) * 10 + digitAt(status, 2);
                head.reason = status.size() > 4 ? status.substr(4) : std::string();
            }
        }
    }
    // From the last line back, so that of two equal headers the earlier wins.
    for (std::size_t i = lines.size(); i-- > 1;) {
        const std::string& line = lines[i];
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = platform::UpperCase(line.substr(0, colon));
        const std::string value = leftTrimmedBlanks(line.substr(colon + 1));
        auto starts = [&](const char* s) { return name.rfind(s, 0) == 0; };
        auto holds = [&](const char* s) { return name.find(s, 1) != std::string::npos; };
        if (starts("MIME")) {
            head.mimeMajor = digitAt(value, 0);
            head.mimeMinor = digitAt(value, 2);
        }
        if (starts("SERV")) head.serverName = value;
        if (starts("DATE")) head.documentDate = value;
        if (holds("ENCO")) head.contentEncoding = value;
        if (starts("EXPI")) head.expires = value;
        if (starts("LOCA")) head.location = withTwoSlashes(value);
        if (platform::Trimmed(name) == "VIA") head.forwardedByProxy = true;
        if (holds("TYPE")) {
            auto slash = value.find('/');
            if (slash != std::string::npos) {
                head.contentType = value.substr(0, slash);
                head.contentSubType = value.substr(slash + 1);
            }
        }
        if (holds("AUTH") && head.statusLine && head.statusClass != 2) {
            head.challenge = true;
            auto blank = value.find(' ');
            const std::string scheme =
                blank == std::string::npos ? std::string() : value.substr(0, blank);
            (platform::UpperCase(scheme) == "BASIC" ? head.basicChallenge : head.otherChallenge) =
                value;
        }
        if (holds("LENG")) head.contentLength = wholeNumber(value);
        if (starts("LAST")) head.lastModified = value;
        if (starts("WARNI")) head.warning = value;
    }
    return head;
}

std::size_t TResponseHeadParser::feed(const char* data, std::size_t size) {
    return cutter_.feed(data, size, lines_);
}

void TResponseHeadParser::reset() {
    cutter_.reset();
    lines_.clear();
}

}  // namespace http
