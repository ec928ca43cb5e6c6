#pragma once

#include <cstdint>
#include <string>

namespace http {

// One cached document.
struct TDocumentClass {
    enum State : int { kValid = 0, kWriting = 1, kAbsent = 2, kNew = 3 };

    std::string Date;      // the Last-Modified value it was stored with
    std::string FileName;  // full path of the file holding the body
    std::int64_t Size = 0;
    int State = kAbsent;
    std::string URL;  // the key

    void reset() { *this = TDocumentClass(); }
    bool operator==(const TDocumentClass&) const = default;
};

}  // namespace http
