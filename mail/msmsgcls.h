#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

constexpr std::size_t kMaxAddressText = 255;

// One address of a message, with an optional display name.
class TmsMailAddress {
public:
    TmsMailAddress() = default;
    TmsMailAddress(const std::string& address, const std::string& name) {
        setAddress(address);
        setName(name);
    }

    const std::string& Name() const { return name_; }
    const std::string& Address() const { return address_; }
    // Longer texts are cut to 255 characters when stored.
    void setName(const std::string& name) { name_ = name.substr(0, kMaxAddressText); }
    void setAddress(const std::string& address) { address_ = address.substr(0, kMaxAddressText); }

private:
    std::string name_;
    std::string address_;
};

class TmsAddressList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TmsMailAddress& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    const TmsMailAddress& Items(int index) const {
        return *items_.at(static_cast<std::size_t>(index));
    }
    TmsMailAddress& Add(const std::string& address, const std::string& name) {
        items_.push_back(std::make_unique<TmsMailAddress>(address, name));
        return *items_.back();
    }
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TmsMailAddress>> items_;
};

// Quoted-printable encoder: the source text is read in paragraphs, each cut
// into pieces of at most 65 characters at blanks where possible, joined by
// soft line breaks.
class TQuotedPrintable {
public:
    static constexpr std::size_t kMaxPiece = 65;
    static constexpr std::size_t kMaxParagraph = 24575;

    TQuotedPrintable(std::string source, std::vector<std::string>& lines)
        : source_(std::move(source)), lines_(lines) {}

    // Appends the encoded lines; raises EMessageError "Paragraph is too large".
    void Encode();

    // One piece with "=", control and high characters written as "=XX".
    static std::string EncodePiece(const std::string& piece);

private:
    void EncodeParagraph(const std::string& paragraph);

    std::string source_;
    std::vector<std::string>& lines_;
};
