// libFuzzer target for the quoted-printable encoder: every output line is
// short and plain, and decoding the lines gives back every byte of the source
// apart from its line breaks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mail/MailErrors.h"
#include "mail/msmsgcls.h"
#include "tests/fuzz/FuzzSupport.h"

using fuzzsupport::check;

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string withoutLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    try {
        TQuotedPrintable(source, lines).Encode();
    } catch (const EMessageError&) {
        return 0;
    }

    std::string decoded;
    for (const std::string& line : lines) {
        // 65 characters, each at most "=XX", and a soft line break.
        check(line.size() <= TQuotedPrintable::kMaxPiece * 3 + 1, "line length bounded");
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            check(c >= 32 && c < 128, "only printable characters are written");
            if (line[i] != '=') {
                decoded += line[i];
                continue;
            }
            if (i + 1 == line.size()) break;  // soft line break
            check(i + 2 < line.size(), "an escape has two digits");
            const int high = hexValue(line[i + 1]);
            const int low = hexValue(line[i + 2]);
            check(high >= 0 && low >= 0, "an escape is upper-case hexadecimal");
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    check(withoutLineBreaks(decoded) == withoutLineBreaks(source), "no byte lost or changed");
    return 0;
}
