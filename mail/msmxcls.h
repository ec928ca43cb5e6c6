#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One mail exchanger of an MX answer. Exchange ends in "." (every label is
// followed by one).
struct TMXRec {
    std::uint16_t Preference = 0;
    std::string Exchange;
};

class TMXList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TMXRec& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
    const TMXRec& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    void Add(std::unique_ptr<TMXRec> rec) { items_.push_back(std::move(rec)); }
    void Clear() { items_.clear(); }
    // Ascending preference; records of equal preference need not keep their order.
    void Sort();

private:
    std::vector<std::unique_ptr<TMXRec>> items_;
};

// The flags word of a DNS header (RFC 1035, 4.1.1), in host byte order.
class TQuerySpec {
public:
    explicit TQuerySpec(std::uint16_t flags = 0) : flags_(flags) {}

    std::uint16_t Flags() const { return flags_; }

    bool QR() const { return flags_ & 0x8000; }
    void setQR(bool on) { set(0x8000, on); }
    // ORs the opcode in; nothing is cleared first.
    void setOpcode(unsigned opcode) {
        flags_ = static_cast<std::uint16_t>(flags_ | ((opcode & 0xF) << 11));
    }
    bool AA() const { return flags_ & 0x0400; }
    bool TC() const { return flags_ & 0x0200; }
    bool RD() const { return flags_ & 0x0100; }
    void setRD(bool on) { set(0x0100, on); }
    bool RA() const { return flags_ & 0x0080; }
    unsigned RCODE() const { return flags_ & 0x000F; }

private:
    void set(std::uint16_t bit, bool on) {
        flags_ = static_cast<std::uint16_t>(on ? (flags_ | bit) : (flags_ & ~bit));
    }

    std::uint16_t flags_;
};
