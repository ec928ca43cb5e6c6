#include "http/CacheIndexFile.h"

#include <limits>

namespace http {

namespace {

void appendLittleEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Bounds-checked reading of streamed values; any shortfall is a read error.
class ValueReader {
public:
    explicit ValueReader(const std::string& bytes) : bytes_(bytes) {}

    unsigned char type() { return byte(); }
    unsigned char peekType() const {
        if (at_ >= bytes_.size()) throw EStreamReadError();
        return static_cast<unsigned char>(bytes_[at_]);
    }

    std::int64_t integer() {
        switch (type()) {
            case CacheIndexFile::vaInt8:
                return static_cast<std::int8_t>(byte());
            case CacheIndexFile::vaInt16:
                return static_cast<std::int16_t>(littleEndian(2));
            case CacheIndexFile::vaInt32:
                return static_cast<std::int32_t>(littleEndian(4));
            case CacheIndexFile::vaInt64:
                return static_cast<std::int64_t>(littleEndian(8));
            default:
                throw EStreamReadError();
        }
    }

    std::string string() { return stringOfType(type()); }

    std::string stringOfType(unsigned char t) {
        std::uint64_t length = 0;
        if (t == CacheIndexFile::vaString) {
            length = byte();
        } else if (t == CacheIndexFile::vaLString) {
            length = littleEndian(4);
        } else {
            throw EStreamReadError();
        }
        if (length > bytes_.size() - at_) throw EStreamReadError();
        std::string s = bytes_.substr(at_, static_cast<std::size_t>(length));
        at_ += static_cast<std::size_t>(length);
        return s;
    }

private:
    unsigned char byte() {
        if (at_ >= bytes_.size()) throw EStreamReadError();
        return static_cast<unsigned char>(bytes_[at_++]);
    }
    std::uint64_t littleEndian(int count) {
        if (static_cast<std::size_t>(count) > bytes_.size() - at_) throw EStreamReadError();
        std::uint64_t v = 0;
        for (int i = 0; i < count; ++i)
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
        at_ += static_cast<std::size_t>(count);
        return v;
    }

    const std::string& bytes_;
    std::size_t at_ = 0;
};

}  // namespace

void CacheIndexFile::appendInteger(std::string& out, std::int64_t value) {
    if (value >= std::numeric_limits<std::int8_t>::min() &&
        value <= std::numeric_limits<std::int8_t>::max()) {
        out += static_cast<char>(vaInt8);
        appendLittleEndian(out, static_cast<std::uint64_t>(value), 1);
    } else if (value >= std::numeric_limits<std::int16_t>::min() &&
               value <= std::numeric_limits<std::int16_t>::max()) {
        out += static_cast<char>(vaInt16);
        appendLittleEndian(out, static_cast<std::uint64_t>(value), 2);
    } else if (value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max()) {
        out += static_cast<char>(vaInt32);
        appendLittleEndian(out, static_cast<std::uint64_t>(value), 4);
    } else {
        out += static_cast<char>(vaInt64);
        appendLittleEndian(out, static_cast<std::uint64_t>(value), 8);
    }
}

void CacheIndexFile::appendString(std::string& out, const std::string& value) {
    if (value.size() <= 255) {
        out += static_cast<char>(vaString);
        appendLittleEndian(out, value.size(), 1);
    } else {
        out += static_cast<char>(vaLString);
        appendLittleEndian(out, value.size(), 4);
    }
    out += value;
}

std::string CacheIndexFile::encode(const std::vector<TDocumentClass>& entries) {
    std::string out;
    appendString(out, kSignature);
    out += static_cast<char>(vaList);
    for (const auto& e : entries) {
        appendString(out, e.Date);
        appendString(out, e.FileName);
        appendInteger(out, e.Size);
        appendInteger(out, e.State);
        appendString(out, e.URL);
    }
    out += static_cast<char>(vaNull);
    return out;
}

CacheIndexFile::Result CacheIndexFile::decode(const std::string& bytes,
                                              std::vector<TDocumentClass>& entries) {
    entries.clear();
    ValueReader in(bytes);
    try {
        unsigned char t = in.type();
        if ((t != vaString && t != vaLString) || in.stringOfType(t) != kSignature)
            return Result::BadSignature;
    } catch (const EStreamReadError&) {
        return Result::BadSignature;
    }
    if (in.type() != vaList) throw EStreamReadError();
    while (in.peekType() != vaNull) {
        TDocumentClass e;
        e.Date = in.string();
        e.FileName = in.string();
        e.Size = in.integer();
        std::int64_t state = in.integer();
        if (state < 0 || state > 3) throw EStreamReadError();
        e.State = static_cast<int>(state);
        e.URL = in.string();
        entries.push_back(std::move(e));
    }
    in.type();
    return Result::Ok;
}

}  // namespace http
