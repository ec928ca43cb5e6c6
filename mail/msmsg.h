#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "mail/msmsgcls.h"

enum class TMsgEncoding { meMIME, meUU };
enum class TCharSet { csUSASCII, csISO8859, csISO2022jp };
enum class TPriority { ptLow, ptNormal, ptHigh };

using TmsHeaders = std::vector<std::string>;

// The data of a mail message and its check before sending.
class TmsCustomMessage {
public:
    static constexpr std::size_t kMaxText = 255;

    virtual ~TmsCustomMessage() = default;

    TmsMailAddress& Sender() { return sender_; }
    const TmsMailAddress& Sender() const { return sender_; }

    const std::string& Subject() const { return subject_; }
    void setSubject(const std::string& subject) { subject_ = subject.substr(0, kMaxText); }

    // Kept in lower case; reads "text/plain" for an empty body or value.
    std::string ContentType() const;
    void setContentType(const std::string& contentType);

    TMsgEncoding Encoding() const { return encoding_; }
    void setEncoding(TMsgEncoding encoding) { encoding_ = encoding; }
    TCharSet CharSet() const { return charSet_; }
    void setCharSet(TCharSet charSet) { charSet_ = charSet; }

    TmsHeaders& Headers() { return headers_; }
    const TmsHeaders& Headers() const { return headers_; }

    std::vector<std::string>& Body() { return body_; }
    const std::vector<std::string>& Body() const { return body_; }
    // The body as text, every line followed by CR LF.
    std::string BodyText() const;
    // Splits at CR LF, a lone CR and a lone LF.
    void setBodyText(const std::string& text);

    virtual void Validate() const;

protected:
    TmsMailAddress sender_;
    std::string subject_;
    std::string contentType_ = "text/plain";
    TMsgEncoding encoding_ = TMsgEncoding::meMIME;
    TCharSet charSet_ = TCharSet::csUSASCII;
    TmsHeaders headers_;
    std::vector<std::string> body_;
};

class TmsMessage : public TmsCustomMessage {
public:
    TmsAddressList& Recipients() { return recipients_; }
    const TmsAddressList& Recipients() const { return recipients_; }
    TmsAddressList& CC() { return cc_; }
    const TmsAddressList& CC() const { return cc_; }
    TmsAddressList& BCC() { return bcc_; }
    const TmsAddressList& BCC() const { return bcc_; }

    bool ReturnReceipt() const { return returnReceipt_; }
    void setReturnReceipt(bool value) { returnReceipt_ = value; }
    TPriority Priority() const { return priority_; }
    void setPriority(TPriority priority) { priority_ = priority; }

    // Raises EMessageError when the sender's address or every recipient is missing.
    void Validate() const override;

    // Writes the whole message, as the text that follows DATA, into stream.
    void EncodeTo(std::ostream& stream) const;

private:
    TmsAddressList recipients_;
    TmsAddressList cc_;
    TmsAddressList bcc_;
    bool returnReceipt_ = false;
    TPriority priority_ = TPriority::ptNormal;
};
