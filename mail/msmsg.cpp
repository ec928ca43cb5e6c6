#include "mail/msmsg.h"

#include <algorithm>
#include <cctype>

#include "mail/MailErrors.h"
#include "platform/ByteText.h"

std::string TmsCustomMessage::ContentType() const {
    if (encoding_ == TMsgEncoding::meUU) return {};
    if (body_.empty() || contentType_.empty()) return "text/plain";
    return contentType_;
}

void TmsCustomMessage::setContentType(const std::string& contentType) {
    contentType_ = platform::LowerCase(contentType.substr(0, kMaxText));
}

std::string TmsCustomMessage::BodyText() const {
    std::string text;
    for (const auto& line : body_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TmsCustomMessage::setBodyText(const std::string& text) {
    body_.clear();
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
        body_.push_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < n && text[pos] == '\r') ++pos;
        if (pos < n && text[pos] == '\n') ++pos;
    }
}

void TmsCustomMessage::Validate() const {
    if (sender_.Address().empty()) throw EMessageError("The address of sender is required");
}

void TmsMessage::Validate() const {
    TmsCustomMessage::Validate();
    for (const TmsAddressList* list : {&recipients_, &cc_, &bcc_}) {
        for (int i = 0; i < list->Count(); ++i) {
            if (!list->Items(i).Address().empty()) return;
        }
    }
    throw EMessageError("At least one Recipient, CC or BCC must be entered");
}
