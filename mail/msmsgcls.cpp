#include "mail/msmsgcls.h"

#include "mail/MailErrors.h"

std::string TQuotedPrintable::EncodePiece(const std::string& piece) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(piece.size() + 8);
    for (char ch : piece) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c == '=' || c >= 128) {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

void TQuotedPrintable::EncodeParagraph(const std::string& paragraph) {
    if (paragraph.size() > kMaxParagraph) throw EMessageError("Paragraph is too large");
    std::string rest = paragraph;
    while (rest.size() >= kMaxPiece) {
        // Break before the last blank among the 66th character down to the
        // second, so that the blank begins the next piece.
        std::size_t cut = 0;
        for (std::size_t i = std::min(kMaxPiece, rest.size() - 1); i >= 1; --i) {
            if (rest[i] == ' ') {
                cut = i;
                break;
            }
        }
        if (cut == 0) cut = kMaxPiece;
        lines_.push_back(EncodePiece(rest.substr(0, cut)) + "=");
        rest.erase(0, cut);
    }
    lines_.push_back(EncodePiece(rest));
}

void TQuotedPrintable::Encode() {
    std::size_t pos = 0;
    const std::size_t n = source_.size();
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && source_[end] != '\r' && source_[end] != '\n') ++end;
        std::string paragraph = source_.substr(pos, end - pos);
        pos = end;
        if (pos < n) {
            // A break is one CR or LF, together with a CR or LF right after it.
            ++pos;
            if (pos < n && (source_[pos] == '\r' || source_[pos] == '\n')) ++pos;
        }
        EncodeParagraph(paragraph);
    }
}
