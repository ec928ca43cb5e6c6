#include "mail/msmime.h"

#include <algorithm>
#include <cctype>

#include "mail/msmsg.h"
#include "platform/ByteText.h"

namespace {

std::string stuffed(const std::string& line) {
    return (!line.empty() && line.front() == '.') ? "." + line : line;
}

bool startsWithNameColon(const std::string& line, const std::string& name) {
    if (line.size() < name.size() + 1 || line[name.size()] != ':') return false;
    return platform::StartsWithCaseBlind(line, name);
}

// A header value never carries a line break of its own: one would let a name
// or subject add header lines, or end the data early with a lone ".".
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

bool isContinuation(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// The caller's own header lines, without those the encoder writes itself.
std::vector<std::string> extraHeaders(const TmsHeaders& headers) {
    static const char* const kOwn[] = {"From",
                                       "To",
                                       "CC",
                                       "BCC",
                                       "Return-Receipt-To",
                                       "X-Priority",
                                       "Subject",
                                       "Mime-Version",
                                       "Content-Type",
                                       "X-Encoding",
                                       "Content-Transfer-Encoding"};
    std::vector<std::string> lines = headers;
    for (const char* name : kOwn) {
        auto it = std::find_if(lines.begin(), lines.end(), [name](const std::string& l) {
            return startsWithNameColon(l, name);
        });
        if (it == lines.end()) continue;
        auto end = it + 1;
        while (end != lines.end() && isContinuation(*end)) ++end;
        lines.erase(it, end);
    }
    return lines;
}

}  // namespace

TmsMessageEncoder::TmsMessageEncoder(const TmsMessage& message, std::ostream& stream)
    : message_(message), stream_(stream) {
    for (const auto& line : message_.Body()) {
        if (line.size() >= kLongLine) longLine_ = true;
    }
}

void TmsMessageEncoder::WriteLine(const std::string& text) {
    if (text == ".") return;
    stream_.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream_.write("\r\n", 2);
}

std::string TmsMessageEncoder::DisplayName(const std::string& name) {
    if (name.find('.') != std::string::npos && name.find('"') == std::string::npos)
        return "\"" + name + "\"";
    return name;
}

std::vector<std::string> TmsMessageEncoder::AddressListLines(const std::string& label,
                                                             const TmsAddressList& list) {
    std::vector<std::string> lines;
    if (list.Count() == 0) return lines;
    std::string prefix = label;
    if (prefix.empty() || prefix.back() != ':') prefix += ':';
    if (prefix.size() < kLabelWidth) prefix.append(kLabelWidth - prefix.size(), ' ');
    for (int i = 0; i < list.Count(); ++i) {
        const TmsMailAddress& a = list.Items(i);
        const bool last = (i == list.Count() - 1);
        std::string line = (i == 0 ? prefix : std::string(kLabelWidth, ' ')) +
                           DisplayName(a.Name()) + " <" + a.Address() + (last ? ">" : ">,");
        lines.push_back(line);
    }
    return lines;
}

void TmsMessageEncoder::WriteHeaders() {
    const TmsMailAddress& sender = message_.Sender();
    WriteLine(oneLine("From:     " + DisplayName(sender.Name()) + " <" + sender.Address() + ">"));
    for (const auto& line : AddressListLines("To", message_.Recipients())) WriteLine(oneLine(line));
    for (const auto& line : AddressListLines("CC", message_.CC())) WriteLine(oneLine(line));
    if (message_.ReturnReceipt())
        WriteLine(oneLine("Return-Receipt-To: <" + sender.Address() + ">"));
    if (message_.Priority() == TPriority::ptLow) WriteLine("X-Priority: 5");
    if (message_.Priority() == TPriority::ptHigh) WriteLine("X-Priority: 1");
    for (const auto& line : extraHeaders(message_.Headers())) WriteLine(oneLine(line));
    if (!message_.Subject().empty()) WriteLine(oneLine("Subject: " + message_.Subject()));
    WriteLine("Mime-Version: 1.0");
}

// A body line that holds a line break is written as the lines it makes, each
// with its own dot doubled.
void TmsMessageEncoder::WritePlainBody() {
    for (const auto& line : message_.Body()) {
        std::size_t pos = 0;
        do {
            std::size_t end = line.find_first_of("\r\n", pos);
            if (end == std::string::npos) end = line.size();
            WriteLine(stuffed(line.substr(pos, end - pos)));
            pos = end;
            if (pos < line.size() && line[pos] == '\r') ++pos;
            if (pos < line.size() && line[pos] == '\n') ++pos;
        } while (pos < line.size());
    }
}

// The encoder works on the body as written; the dot is doubled on the lines
// it produces, so that a piece that happens to begin with "." after a soft
// break is not cut short by the server either.
void TmsMessageEncoder::WriteQuotedPrintableBody() {
    std::vector<std::string> lines;
    TQuotedPrintable codec(message_.BodyText(), lines);
    codec.Encode();
    for (const auto& line : lines) WriteLine(stuffed(line));
}

void TmsMessageEncoder::Encode() {
    WriteHeaders();
    if (message_.Encoding() == TMsgEncoding::meUU) {
        WriteLine("");
        WritePlainBody();
        return;
    }
    const TCharSet charSet = message_.CharSet();
    if (message_.ContentType() == "text/html") {
        WriteLine(std::string("Content-Type: text/html") +
                  (charSet != TCharSet::csUSASCII ? "; charset=\"iso-8859-1\"" : ""));
        WriteLine("Content-Transfer-Encoding: quoted-printable");
        WriteLine("");
        WriteQuotedPrintableBody();
        return;
    }
    if (charSet == TCharSet::csISO8859) {
        WriteLine("Content-Type: text/plain; charset=\"iso-8859-1\"");
        WriteLine("Content-Transfer-Encoding: quoted-printable");
    } else {
        WriteLine(charSet == TCharSet::csUSASCII
                      ? "Content-Type: text/plain; charset=\"us-ascii\""
                      : "Content-Type: text/plain; charset=\"iso-2022-jp\"");
        WriteLine(longLine_ ? "Content-Transfer-Encoding: quoted-printable"
                            : "Content-Transfer-Encoding: 7bit");
    }
    WriteLine("");
    if (charSet == TCharSet::csISO8859 || longLine_) {
        WriteQuotedPrintableBody();
    } else {
        WritePlainBody();
    }
}

// Defined beside the writer it drives, so that the message unit does not
// depend on its writer.
void TmsMessage::EncodeTo(std::ostream& stream) const {
    stream.seekp(0);
    TmsMessageEncoder encoder(*this, stream);
    encoder.Encode();
    stream.flush();
}
