#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/DocumentClass.h"

namespace http {

// Raised when the entry list of an index file cannot be read.
class EStreamReadError : public std::runtime_error {
public:
    EStreamReadError() : std::runtime_error("Stream read error") {}
};

// The document cache's index file: the signature "Zephyrkit", then a list of
// entries (Date, FileName, Size, State, URL each), in the streamed-value
// encoding where every value starts with a type byte.
class CacheIndexFile {
public:
    static constexpr const char* kSignature = "Zephyrkit";

    // Type bytes of the encoding.
    enum ValueType : unsigned char {
        vaNull = 0,  // closes a list
        vaList = 1,
        vaInt8 = 2,
        vaInt16 = 3,
        vaInt32 = 4,
        vaString = 6,
        vaLString = 12,
        vaInt64 = 19,  // only for sizes beyond 32 bits
    };

    static std::string encode(const std::vector<TDocumentClass>& entries);

    enum class Result { Ok, BadSignature };
    // Reads bytes into entries. BadSignature when the file does not begin with
    // the signature string; throws EStreamReadError when the entry list is
    // broken. Never reads past the end of bytes.
    static Result decode(const std::string& bytes, std::vector<TDocumentClass>& entries);

    // One value each, in the smallest form that holds it.
    static void appendInteger(std::string& out, std::int64_t value);
    static void appendString(std::string& out, const std::string& value);
};

}  // namespace http
