#pragma once

#include <ostream>
#include <string>
#include <vector>

class TmsMessage;
class TmsAddressList;

// Writes a message as the text that follows DATA: the header lines in their
// fixed order, a blank line and the body, quoted-printable where needed. Lines
// that begin with "." are doubled so that the server does not take them for
// the end of the data.
class TmsMessageEncoder {
public:
    static constexpr std::size_t kLongLine = 256;
    static constexpr std::size_t kLabelWidth = 10;

    TmsMessageEncoder(const TmsMessage& message, std::ostream& stream);

    void Encode();

    // The text followed by CR LF; a line that is exactly "." is not written.
    void WriteLine(const std::string& text);

    // "Name" or "\"Na.me\"" as the header shows it.
    static std::string DisplayName(const std::string& name);
    // The header lines of an address list ("To", "CC"), none when it is empty.
    static std::vector<std::string> AddressListLines(const std::string& label,
                                                     const TmsAddressList& list);

private:
    void WriteHeaders();
    void WriteQuotedPrintableBody();
    void WritePlainBody();

    const TmsMessage& message_;
    std::ostream& stream_;
    bool longLine_ = false;
};
